#include "tools/assets/Icons.h"

#include "tools/assets/Canvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace {

// Each coloured part is a dark rim with a lighter body one unit inside it.
struct Tint {
  Colour rim;
  Colour light;
  Colour dark;
};

const Tint kGreen{{0.05, 0.35, 0.08}, {0.55, 0.92, 0.38}, {0.13, 0.62, 0.12}};
const Tint kRed{{0.50, 0.05, 0.04}, {1.00, 0.50, 0.42}, {0.82, 0.12, 0.08}};
const Tint kBlue{{0.05, 0.18, 0.55}, {0.55, 0.76, 1.00}, {0.13, 0.38, 0.90}};
const Tint kGrey{{0.28, 0.29, 0.31}, {0.92, 0.92, 0.93}, {0.52, 0.53, 0.56}};

// The rim, then the body shaded from light at `from` to dark at `to`.
void Draw(Canvas& canvas, const Shape& shape, const Tint& tint, Point from = {2, 2}, Point to = {14, 14}) {
  canvas.Fill(shape, Solid(tint.rim));
  canvas.Fill(Grow(shape, -0.9), Linear(from, tint.light, to, tint.dark));
}

void CheckMark(Canvas& canvas) {
  const Shape tick = Stroke({{2.6, 8.4}, {6.2, 12.0}, {13.4, 3.6}}, 2.0);
  canvas.Fill(Grow(tick, 0.6), Solid({1, 1, 1, 0.55}));  // a pale halo keeps it apart on any row colour
  Draw(canvas, tick, kGreen);
}

// Frames 1 to 5: the green column reaches a tenth, a quarter, half, three
// quarters and the whole of the glass.
void Gauge(Canvas& canvas, int frame) {
  static constexpr double kLevels[] = {0.10, 0.25, 0.50, 0.75, 1.00};
  const double level = kLevels[frame - 1];
  canvas.Fill(RoundRect(4, 0.5, 12, 15.5, 1.6), Solid(kGrey.rim));
  canvas.Fill(RoundRect(5, 1.5, 11, 14.5, 0.8), Linear({5, 0}, {0.80, 0.81, 0.83}, {8, 0}, {1, 1, 1}));
  canvas.Fill(RoundRect(8, 1.5, 11, 14.5, 0.8), Linear({8, 0}, {1, 1, 1}, {11, 0}, {0.78, 0.79, 0.81}));
  // The column is shaded as a cylinder: dark at the sides, light in the middle.
  const double top = 14.0 - 12.0 * level;
  const Paint cylinder = [](Point p) {
    const double t = std::min(1.0, std::abs(p.x - 7.4) / 2.6);
    return Mix(kGreen.light, kGreen.dark, t * t);
  };
  canvas.Fill(RoundRect(5.7, top, 10.3, 14.0, 0.5), cylinder);
  canvas.Fill(RoundRect(5.7, top, 10.3, std::min(14.0, top + 0.7), 0.3), Solid({0.75, 1, 0.6, 0.8}));
  // Quarter marks on the glass.
  for (double mark : {5.0, 8.0, 11.0}) canvas.Fill(RoundRect(9.6, mark - 0.25, 11, mark + 0.25, 0), Solid(kGrey.rim));
}

Shape GearShape(Point centre) {
  constexpr int kTeeth = 8;
  constexpr double kTip = 6.8, kRoot = 5.0, kDeg = std::numbers::pi / 180;
  std::vector<Point> outline;
  for (int k = 0; k < kTeeth; ++k) {
    const double a = k * 2 * std::numbers::pi / kTeeth;
    for (auto [r, da] : {std::pair{kRoot, -15.0}, {kTip, -8.5}, {kTip, 8.5}, {kRoot, 15.0}})
      outline.push_back({centre.x + r * std::cos(a + da * kDeg), centre.y + r * std::sin(a + da * kDeg)});
  }
  return Subtract(Polygon(outline), Circle(centre, 1.8));
}

void GearWithArrow(Canvas& canvas) {
  const Shape arrow = Union(RoundRect(10.2, 7.2, 13.8, 12.0, 0.4), Polygon({{8.0, 10.8}, {16.0, 10.8}, {12.0, 15.6}}));
  const Shape gear = Subtract(GearShape({7, 7}), Grow(arrow, 0.8));
  canvas.Fill(gear, Solid(kGrey.rim));
  canvas.Fill(Grow(gear, -1.0), Linear({2, 2}, kGrey.light, {12, 12}, kGrey.dark));
  Draw(canvas, arrow, kBlue);
}

}  // namespace

RgbaImage ListIcon(int index) {
  if (index < 0 || index >= kListIcons) throw std::out_of_range("no list icon " + std::to_string(index));
  Canvas canvas(16, 16);
  if (index == 0) CheckMark(canvas);
  else if (index <= 5) Gauge(canvas, index);
  else GearWithArrow(canvas);
  return canvas.Image();
}

RgbaImage WindowIcon(int size) {
  Canvas canvas(size, size, size / 16.0);
  // The plus lies over the foot of the blue bar; its dark rim keeps the two apart.
  const Shape plus = Union(RoundRect(9.3, 11.3, 16.0, 14.4, 0.4), RoundRect(11.1, 9.4, 14.2, 16.0, 0.4));
  // The bars keep clear of the corner pixels, so the corners stay transparent.
  const auto bar = [&](double left, double top, const Tint& tint) {
    Draw(canvas, RoundRect(left, top, left + 3.8, 15.5, 0.8), tint, {left, 0}, {left + 3.8, 0});
  };
  bar(1.0, 7.0, kGreen);
  bar(5.2, 1.0, kRed);
  bar(9.4, 4.4, kBlue);
  Draw(canvas, plus, kGreen, {10, 10}, {16, 16});
  return canvas.Image();
}
