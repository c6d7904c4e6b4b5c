// A small vector canvas for the icons: shapes are signed distance functions
// in design units (negative inside), filled with anti-aliasing from a grid of
// samples in every pixel and composited over what is already there.
#pragma once

#include "tools/assets/ImageFiles.h"

#include <functional>
#include <vector>

struct Point {
  double x;
  double y;
};

// Straight (not premultiplied) colour, components 0..1.
struct Colour {
  double r;
  double g;
  double b;
  double a = 1.0;
};

Colour Mix(const Colour& from, const Colour& to, double t);

using Shape = std::function<double(Point)>;
using Paint = std::function<Colour(Point)>;

Shape Circle(Point centre, double radius);
Shape RoundRect(double left, double top, double right, double bottom, double radius);
// A stroke of the given half-width along the points, with round joins and caps.
Shape Stroke(std::vector<Point> points, double halfWidth);
// A filled polygon, either winding.
Shape Polygon(std::vector<Point> points);
Shape Union(Shape a, Shape b);
Shape Subtract(Shape from, Shape cut);
// The shape grown by amount (shrunk when negative).
Shape Grow(Shape shape, double amount);

Paint Solid(Colour colour);
// A linear gradient from `from` at point a to `to` at point b, clamped beyond.
Paint Linear(Point a, Colour from, Point b, Colour to);

class Canvas {
 public:
  // Shapes and paints are given in design units of pixelsPerUnit pixels: a
  // design drawn on a 16 x 16 grid fills a 48 x 48 canvas at 3.
  Canvas(int width, int height, double pixelsPerUnit = 1);

  void Fill(const Shape& shape, const Paint& paint);
  RgbaImage Image() const;

 private:
  static constexpr int kSamples = 8;  // per pixel side
  int width_;
  int height_;
  double pixelsPerUnit_;
  std::vector<Colour> pixels_;  // premultiplied
};
