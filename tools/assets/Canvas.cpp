#include "tools/assets/Canvas.h"

#include <algorithm>
#include <cmath>

namespace {

double Length(double x, double y) { return std::sqrt(x * x + y * y); }

double SegmentDistance(Point p, Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  const double t = len2 == 0 ? 0 : std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0);
  return Length(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

}  // namespace

Colour Mix(const Colour& from, const Colour& to, double t) {
  return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t,
          from.a + (to.a - from.a) * t};
}

Shape Circle(Point centre, double radius) {
  return [=](Point p) { return Length(p.x - centre.x, p.y - centre.y) - radius; };
}

Shape RoundRect(double left, double top, double right, double bottom, double radius) {
  const double cx = (left + right) / 2, cy = (top + bottom) / 2;
  const double hx = (right - left) / 2 - radius, hy = (bottom - top) / 2 - radius;
  return [=](Point p) {
    const double qx = std::abs(p.x - cx) - hx, qy = std::abs(p.y - cy) - hy;
    return Length(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - radius;
  };
}

Shape Stroke(std::vector<Point> points, double halfWidth) {
  return [points = std::move(points), halfWidth](Point p) {
    double d = Length(p.x - points[0].x, p.y - points[0].y);
    for (std::size_t i = 1; i < points.size(); ++i) d = std::min(d, SegmentDistance(p, points[i - 1], points[i]));
    return d - halfWidth;
  };
}

Shape Polygon(std::vector<Point> points) {
  return [points = std::move(points)](Point p) {
    double d = 1e9;
    bool inside = false;
    for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
      const Point a = points[j], b = points[i];
      d = std::min(d, SegmentDistance(p, a, b));
      if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y)) inside = !inside;
    }
    return inside ? -d : d;
  };
}

Shape Union(Shape a, Shape b) {
  return [a = std::move(a), b = std::move(b)](Point p) { return std::min(a(p), b(p)); };
}

Shape Subtract(Shape from, Shape cut) {
  return [from = std::move(from), cut = std::move(cut)](Point p) { return std::max(from(p), -cut(p)); };
}

Shape Grow(Shape shape, double amount) {
  return [shape = std::move(shape), amount](Point p) { return shape(p) - amount; };
}

Paint Solid(Colour colour) {
  return [colour](Point) { return colour; };
}

Paint Linear(Point a, Colour from, Point b, Colour to) {
  const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
  return [=](Point p) { return Mix(from, to, std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0)); };
}

Canvas::Canvas(int width, int height, double pixelsPerUnit)
    : width_(width),
      height_(height),
      pixelsPerUnit_(pixelsPerUnit),
      pixels_(static_cast<std::size_t>(width * height), Colour{0, 0, 0, 0}) {}

void Canvas::Fill(const Shape& shape, const Paint& paint) {
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      // Average the paint over the covered samples, so gradients stay smooth
      // at the edges, then composite once per pixel.
      Colour sum{0, 0, 0, 0};
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const Point p{(x + (sx + 0.5) / kSamples) / pixelsPerUnit_, (y + (sy + 0.5) / kSamples) / pixelsPerUnit_};
          if (shape(p) >= 0) continue;
          const Colour c = paint(p);
          sum = {sum.r + c.r * c.a, sum.g + c.g * c.a, sum.b + c.b * c.a, sum.a + c.a};
        }
      }
      const double n = kSamples * kSamples;
      Colour& dst = pixels_[static_cast<std::size_t>(y * width_ + x)];
      const double keep = 1 - sum.a / n;
      dst = {sum.r / n + dst.r * keep, sum.g / n + dst.g * keep, sum.b / n + dst.b * keep, sum.a / n + dst.a * keep};
    }
  }
}

RgbaImage Canvas::Image() const {
  RgbaImage image{width_, height_, {}};
  image.rgba.reserve(pixels_.size() * 4);
  const auto byte = [](double v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  for (const Colour& c : pixels_) {
    const double a = c.a > 0 ? c.a : 1;
    image.rgba.insert(image.rgba.end(), {byte(c.r / a), byte(c.g / a), byte(c.b / a), byte(c.a)});
  }
  return image;
}
