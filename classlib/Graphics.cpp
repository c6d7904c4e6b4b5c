#include "classlib/Graphics.h"

#include "classlib/Fonts.h"
#include "platform/Win32.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

// ------------------------------------------------------------------ colours

TColor ColorToRGB(TColor color) {
  if (color & clSystemColor) return GetSysColor(static_cast<int>(color & 0xFF)) & 0xFFFFFF;
  return color & 0xFFFFFF;
}

TRect IntersectRect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
  return r.IsEmpty() ? TRect{} : r;
}

TRect UnionRect(const TRect& a, const TRect& b) {
  if (a.IsEmpty()) return b.IsEmpty() ? TRect{} : b;
  if (b.IsEmpty()) return a;
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}

TRect SubtractRect(const TRect& a, const TRect& b) {
  const TRect common = IntersectRect(a, b);
  if (common.IsEmpty()) return a;
  if (common == a) return TRect{};
  if (common.Top == a.Top && common.Bottom == a.Bottom) {
    if (common.Left == a.Left) return Rect(common.Right, a.Top, a.Right, a.Bottom);
    if (common.Right == a.Right) return Rect(a.Left, a.Top, common.Left, a.Bottom);
  }
  if (common.Left == a.Left && common.Right == a.Right) {
    if (common.Top == a.Top) return Rect(a.Left, common.Bottom, a.Right, a.Bottom);
    if (common.Bottom == a.Bottom) return Rect(a.Left, a.Top, a.Right, common.Top);
  }
  return a;
}

// ------------------------------------------------------ pens, brushes, fonts

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

void TPen::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  Changed();
}

void TPen::SetWidth(int value) {
  value = std::max(1, value);
  if (value == width_) return;
  width_ = value;
  Changed();
}

void TPen::SetStyle(TPenStyle value) {
  if (value == style_) return;
  style_ = value;
  Changed();
}

void TPen::Assign(const TPersistent* source) {
  if (const auto* pen = dynamic_cast<const TPen*>(source)) {
    if (pen->color_ == color_ && pen->width_ == width_ && pen->style_ == style_) return;
    color_ = pen->color_;
    width_ = pen->width_;
    style_ = pen->style_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}

void TBrush::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  Changed();
}

void TBrush::SetStyle(TBrushStyle value) {
  if (value == style_) return;
  style_ = value;
  Changed();
}

void TBrush::Assign(const TPersistent* source) {
  if (const auto* brush = dynamic_cast<const TBrush*>(source)) {
    if (brush->color_ == color_ && brush->style_ == style_) return;
    color_ = brush->color_;
    style_ = brush->style_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}

void TFont::SetName(const std::string& value) {
  if (value == name_) return;
  name_ = value;
  FaceChanged();
}

void TFont::SetHeight(int value) {
  if (value == height_) return;
  height_ = value;
  FaceChanged();
}

int TFont::Size() const { return -MulDiv(height_, 72, kScreenPixelsPerInch); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, kScreenPixelsPerInch, 72)); }

void TFont::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  Changed();
}

void TFont::SetStyle(TFontStyles value) {
  if (value == style_) return;
  style_ = value;
  FaceChanged();
}

void TFont::SetCharset(std::uint8_t value) {
  if (value == charset_) return;
  charset_ = value;
  Changed();
}

void TFont::Assign(const TPersistent* source) {
  if (const auto* font = dynamic_cast<const TFont*>(source)) {
    const bool sameFace = font->name_ == name_ && font->height_ == height_ && font->style_ == style_;
    if (sameFace && font->color_ == color_ && font->charset_ == charset_) return;
    name_ = font->name_;
    height_ = font->height_;
    style_ = font->style_;
    color_ = font->color_;
    charset_ = font->charset_;
    if (!sameFace) instance_ = font->instance_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}

void TFont::FaceChanged() {
  instance_ = nullptr;
  Changed();
}

fonts::FontInstance& TFont::Instance() const {
  if (!instance_)
    instance_ = &fonts::Realize(name_, height_, style_.Contains(fsBold), style_.Contains(fsItalic));
  return *instance_;
}

// ------------------------------------------------------------------- canvas

namespace {

inline std::uint32_t blend(std::uint32_t dst, std::uint32_t src, unsigned a) {
  if (a >= 255) return src;
  const unsigned na = 255 - a;
  const unsigned r = (((src >> 16) & 0xFF) * a + ((dst >> 16) & 0xFF) * na + 127) / 255;
  const unsigned g = (((src >> 8) & 0xFF) * a + ((dst >> 8) & 0xFF) * na + 127) / 255;
  const unsigned b = ((src & 0xFF) * a + (dst & 0xFF) * na + 127) / 255;
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

inline std::uint32_t pixelOf(TColor color) { return RGBToPixel(ColorToRGB(color)); }

// Fills n pixels: a short run by stores, a long one by doubling block copies,
// which are much faster than a store per pixel.
void fillPixels(std::uint32_t* p, std::size_t n, std::uint32_t pixel) {
  constexpr std::size_t kRun = 32;
  if (n <= 2 * kRun) {
    std::fill_n(p, n, pixel);
    return;
  }
  std::fill_n(p, kRun, pixel);
  std::size_t done = kRun;
  while (done < n) {
    const std::size_t chunk = std::min(done, n - done);
    std::memcpy(p + done, p, chunk * sizeof(std::uint32_t));
    done += chunk;
  }
}

// Walks one line of text, calling f(glyph, x, underlined) for every drawn
// character at its pen position x (relative to the line start); returns the
// line's width. Prefix and tab handling follow the DT_* flags.
template <class F>
int walkLine(fonts::FontInstance& font, const char* begin, const char* end, unsigned flags, int extra, F&& f) {
  int x = 0;
  const int tab = 8 * font.AverageCharWidth();
  for (const char* p = begin; p < end; ++p) {
    auto ch = static_cast<unsigned char>(*p);
    bool underlined = false;
    if (ch == '&' && !(flags & DT_NOPREFIX)) {
      if (p + 1 >= end) break;
      ch = static_cast<unsigned char>(*++p);
      underlined = ch != '&';
    }
    if (ch == '\t' && (flags & DT_EXPANDTABS)) {
      if (tab > 0) x = (x / tab + 1) * tab;
      continue;
    }
    const fonts::Glyph& g = font.GlyphOf(ch);
    f(g, x, underlined);
    x += g.advance + extra;
  }
  return x;
}

struct NoGlyphs {
  void operator()(const fonts::Glyph&, int, bool) const {}
};

}  // namespace

TCanvas::TCanvas() = default;
TCanvas::~TCanvas() = default;

bool TCanvas::Acquire(Target& t) {
  if (!GetTarget(t)) return false;
  if (hasClip_) t.clip = IntersectRect(t.clip, OffsetRect(clip_, t.originX, t.originY));
  return !t.clip.IsEmpty();
}

void TCanvas::FillSurface(Target& t, const TRect& surfaceRect, std::uint32_t pixel) {
  const TRect r = IntersectRect(surfaceRect, t.clip);
  if (r.IsEmpty()) return;
  std::uint32_t* first = t.pixels + static_cast<std::ptrdiff_t>(r.Top) * t.stride + r.Left;
  const auto width = static_cast<std::size_t>(r.Width());
  fillPixels(first, width, pixel);
  // Wide areas: the other rows are copied from the first, as block copies
  // are much faster than a store per pixel.
  constexpr std::size_t kCopyFrom = 32;
  for (int y = r.Top + 1; y < r.Bottom; ++y) {
    std::uint32_t* row = t.pixels + static_cast<std::ptrdiff_t>(y) * t.stride + r.Left;
    if (width >= kCopyFrom) std::memcpy(row, first, width * sizeof(std::uint32_t));
    else std::fill_n(row, width, pixel);
  }
}

void TCanvas::SetClipRect(const TRect& rect) {
  hasClip_ = true;
  clip_ = rect;
}

TRect TCanvas::ClipRect() {
  Target t;
  if (!Acquire(t)) return TRect{};
  return OffsetRect(t.clip, -t.originX, -t.originY);
}

void TCanvas::FillRect(const TRect& rect) {
  if (brush_.Style() == bsClear) return;
  Target t;
  if (!Acquire(t)) return;
  const TRect r = IntersectRect(OffsetRect(rect, t.originX, t.originY), t.clip);
  if (r.IsEmpty()) return;
  FillSurface(t, r, pixelOf(brush_.Color()));
  SurfaceChanged(r);
}

void TCanvas::FrameRect(const TRect& rect) {
  if (brush_.Style() == bsClear || rect.IsEmpty()) return;
  Target t;
  if (!Acquire(t)) return;
  const TRect r = OffsetRect(rect, t.originX, t.originY);
  const std::uint32_t pixel = pixelOf(brush_.Color());
  FillSurface(t, Rect(r.Left, r.Top, r.Right, r.Top + 1), pixel);
  FillSurface(t, Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom), pixel);
  FillSurface(t, Rect(r.Left, r.Top, r.Left + 1, r.Bottom), pixel);
  FillSurface(t, Rect(r.Right - 1, r.Top, r.Right, r.Bottom), pixel);
  const TRect touched = IntersectRect(r, t.clip);
  if (!touched.IsEmpty()) SurfaceChanged(touched);
}

void TCanvas::Rectangle(const TRect& rect) {
  if (rect.IsEmpty()) return;
  Target t;
  if (!Acquire(t)) return;
  const TRect r = OffsetRect(rect, t.originX, t.originY);
  TRect inside = r;
  if (pen_.Style() != psClear) {
    const int w = std::min(pen_.Width(), std::min(r.Width(), r.Height()));
    const std::uint32_t pixel = pixelOf(pen_.Color());
    FillSurface(t, Rect(r.Left, r.Top, r.Right, r.Top + w), pixel);
    FillSurface(t, Rect(r.Left, r.Bottom - w, r.Right, r.Bottom), pixel);
    FillSurface(t, Rect(r.Left, r.Top, r.Left + w, r.Bottom), pixel);
    FillSurface(t, Rect(r.Right - w, r.Top, r.Right, r.Bottom), pixel);
    inside = InflateRect(r, -w, -w);
  } else {
    // Without a pen the filled area ends one pixel short on the right and
    // at the bottom, as on the platform.
    inside = Rect(r.Left, r.Top, r.Right - 1, r.Bottom - 1);
  }
  if (brush_.Style() != bsClear) FillSurface(t, inside, pixelOf(brush_.Color()));
  const TRect touched = IntersectRect(r, t.clip);
  if (!touched.IsEmpty()) SurfaceChanged(touched);
}

void TCanvas::Frame3D(TRect& rect, TColor topLeft, TColor bottomRight, int width) {
  Target t;
  const bool drawing = Acquire(t);
  const std::uint32_t tl = pixelOf(topLeft);
  const std::uint32_t br = pixelOf(bottomRight);
  TRect touched;
  for (int i = 0; i < width; ++i) {
    if (drawing && !rect.IsEmpty()) {
      const TRect r = OffsetRect(rect, t.originX, t.originY);
      FillSurface(t, Rect(r.Left, r.Top, r.Left + 1, r.Bottom), tl);
      FillSurface(t, Rect(r.Left, r.Top, r.Right - 1, r.Top + 1), tl);
      FillSurface(t, Rect(r.Right - 1, r.Top, r.Right, r.Bottom - 1), br);
      FillSurface(t, Rect(r.Left + 1, r.Bottom - 1, r.Right, r.Bottom), br);
      touched = UnionRect(touched, IntersectRect(r, t.clip));
    }
    rect = InflateRect(rect, -1, -1);
  }
  if (!touched.IsEmpty()) SurfaceChanged(touched);
}

void TCanvas::DrawEdge(TRect& rect, unsigned edge, unsigned sides) {
  struct Border {
    unsigned raised;
    unsigned sunken;
    TColor raisedTL, raisedBR, sunkenTL, sunkenBR;
  };
  static constexpr Border kBorders[2] = {
      {BDR_RAISEDOUTER, BDR_SUNKENOUTER, cl3DLight, cl3DDkShadow, clBtnShadow, clBtnHighlight},
      {BDR_RAISEDINNER, BDR_SUNKENINNER, clBtnHighlight, clBtnShadow, cl3DDkShadow, cl3DLight},
  };
  Target t;
  const bool drawing = Acquire(t);
  TRect r = rect;
  TRect touched;
  for (const Border& b : kBorders) {
    const bool raised = (edge & b.raised) != 0;
    if (!raised && !(edge & b.sunken)) continue;
    if (r.IsEmpty()) break;
    if (drawing) {
      const std::uint32_t tl = pixelOf(raised ? b.raisedTL : b.sunkenTL);
      const std::uint32_t br = pixelOf(raised ? b.raisedBR : b.sunkenBR);
      const TRect s = OffsetRect(r, t.originX, t.originY);
      const int rightEnd = (sides & BF_RIGHT) ? s.Right - 1 : s.Right;
      const int bottomEnd = (sides & BF_BOTTOM) ? s.Bottom - 1 : s.Bottom;
      if (sides & BF_LEFT) FillSurface(t, Rect(s.Left, s.Top, s.Left + 1, s.Bottom), tl);
      if (sides & BF_TOP) FillSurface(t, Rect(s.Left, s.Top, rightEnd, s.Top + 1), tl);
      if (sides & BF_RIGHT) FillSurface(t, Rect(s.Right - 1, s.Top, s.Right, bottomEnd), br);
      if (sides & BF_BOTTOM)
        FillSurface(t, Rect((sides & BF_LEFT) ? s.Left + 1 : s.Left, s.Bottom - 1, s.Right, s.Bottom), br);
      touched = UnionRect(touched, IntersectRect(s, t.clip));
    }
    if (sides & BF_LEFT) ++r.Left;
    if (sides & BF_TOP) ++r.Top;
    if (sides & BF_RIGHT) --r.Right;
    if (sides & BF_BOTTOM) --r.Bottom;
  }
  if (sides & BF_ADJUST) rect = r;
  if (!touched.IsEmpty()) SurfaceChanged(touched);
}

void TCanvas::PlotLine(Target& t, TPoint from, TPoint to, std::uint32_t pixel, int width, TRect& touched) {
  int x = from.X + t.originX;
  int y = from.Y + t.originY;
  const int x1 = to.X + t.originX;
  const int y1 = to.Y + t.originY;
  const int dx = std::abs(x1 - x);
  const int dy = -std::abs(y1 - y);
  const int sx = x < x1 ? 1 : -1;
  const int sy = y < y1 ? 1 : -1;
  int err = dx + dy;
  const int lead = (width - 1) / 2;
  while (x != x1 || y != y1) {
    if (width <= 1) {
      if (t.clip.Contains(x, y)) t.pixels[static_cast<std::ptrdiff_t>(y) * t.stride + x] = pixel;
    } else {
      FillSurface(t, Bounds(x - lead, y - lead, width, width), pixel);
    }
    touched = UnionRect(touched, IntersectRect(Bounds(x - lead, y - lead, width, width), t.clip));
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

void TCanvas::LineTo(int x, int y) {
  const TPoint from = penPos_;
  penPos_ = TPoint{x, y};
  if (pen_.Style() == psClear) return;
  Target t;
  if (!Acquire(t)) return;
  TRect touched;
  PlotLine(t, from, penPos_, pixelOf(pen_.Color()), pen_.Width(), touched);
  if (!touched.IsEmpty()) SurfaceChanged(touched);
}

void TCanvas::Polyline(std::span<const TPoint> points) {
  if (points.empty()) return;
  MoveTo(points[0].X, points[0].Y);
  for (std::size_t i = 1; i < points.size(); ++i) LineTo(points[i].X, points[i].Y);
}

void TCanvas::FillPolygon(Target& t, std::span<const TPoint> points, std::uint32_t pixel, TRect& touched) {
  int top = points[0].Y;
  int bottom = points[0].Y;
  for (const TPoint& p : points) {
    top = std::min(top, p.Y);
    bottom = std::max(bottom, p.Y);
  }
  top = std::max(top + t.originY, t.clip.Top);
  bottom = std::min(bottom + t.originY, t.clip.Bottom);
  std::vector<double> xs;
  xs.reserve(points.size());
  for (int y = top; y < bottom; ++y) {
    const double yc = y - t.originY + 0.5;
    xs.clear();
    for (std::size_t i = 0; i < points.size(); ++i) {
      const TPoint& a = points[i];
      const TPoint& b = points[(i + 1) % points.size()];
      if (a.Y == b.Y) continue;
      const bool crosses = (a.Y <= yc && yc < b.Y) || (b.Y <= yc && yc < a.Y);
      if (crosses) xs.push_back(a.X + (yc - a.Y) * (b.X - a.X) / (b.Y - a.Y));
    }
    std::sort(xs.begin(), xs.end());
    for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
      // Pixels whose centre x + 0.5 lies in [xs[k], xs[k+1]).
      const int from = static_cast<int>(std::ceil(xs[k] - 0.5)) + t.originX;
      const int to = static_cast<int>(std::ceil(xs[k + 1] - 0.5)) + t.originX;
      const TRect span = Rect(from, y, to, y + 1);
      FillSurface(t, span, pixel);
      touched = UnionRect(touched, IntersectRect(span, t.clip));
    }
  }
}

void TCanvas::Polygon(std::span<const TPoint> points) {
  if (points.size() < 2) return;
  Target t;
  if (!Acquire(t)) return;
  TRect touched;
  if (brush_.Style() != bsClear && points.size() >= 3) FillPolygon(t, points, pixelOf(brush_.Color()), touched);
  if (pen_.Style() != psClear) {
    const std::uint32_t pixel = pixelOf(pen_.Color());
    for (std::size_t i = 0; i < points.size(); ++i)
      PlotLine(t, points[i], points[(i + 1) % points.size()], pixel, pen_.Width(), touched);
  }
  if (!touched.IsEmpty()) SurfaceChanged(touched);
}

void TCanvas::Blit(const TRect& dest, const std::uint32_t* pixels, int stride, const TRect& sourceRect,
                   bool blendAlpha) {
  if (dest.IsEmpty() || sourceRect.IsEmpty()) return;
  Target t;
  if (!Acquire(t)) return;
  const TRect d = OffsetRect(dest, t.originX, t.originY);
  const TRect visible = IntersectRect(d, t.clip);
  if (visible.IsEmpty()) return;
  const bool sameSize = d.Width() == sourceRect.Width() && d.Height() == sourceRect.Height();
  for (int y = visible.Top; y < visible.Bottom; ++y) {
    std::uint32_t* out = t.pixels + static_cast<std::ptrdiff_t>(y) * t.stride;
    const int sy = sameSize ? sourceRect.Top + (y - d.Top)
                            : sourceRect.Top + static_cast<int>(static_cast<long long>(y - d.Top) *
                                                                 sourceRect.Height() / d.Height());
    const std::uint32_t* in = pixels + static_cast<std::ptrdiff_t>(sy) * stride;
    if (blendAlpha) {
      for (int x = visible.Left; x < visible.Right; ++x) {
        const int sx = sourceRect.Left + static_cast<int>(static_cast<long long>(x - d.Left) * sourceRect.Width() /
                                                          d.Width());
        const std::uint32_t p = in[sx];
        out[x] = blend(out[x], p | 0xFF000000u, p >> 24);
      }
    } else if (d.Width() == sourceRect.Width()) {
      std::memmove(out + visible.Left, in + sourceRect.Left + (visible.Left - d.Left),
                   static_cast<std::size_t>(visible.Width()) * sizeof(std::uint32_t));
    } else {
      for (int x = visible.Left; x < visible.Right; ++x)
        out[x] = in[sourceRect.Left +
                    static_cast<int>(static_cast<long long>(x - d.Left) * sourceRect.Width() / d.Width())];
    }
  }
  SurfaceChanged(visible);
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
  Target s;
  if (!source.Acquire(s)) return;
  TRect src = OffsetRect(sourceRect, s.originX, s.originY);
  TRect d = dest;
  if (src.Width() == d.Width() && src.Height() == d.Height()) {
    // Trim both rectangles to the part of the source that can be read.
    const TRect readable = IntersectRect(src, s.clip);
    d = Rect(d.Left + readable.Left - src.Left, d.Top + readable.Top - src.Top, d.Right - (src.Right - readable.Right),
             d.Bottom - (src.Bottom - readable.Bottom));
    src = readable;
  } else if (IntersectRect(src, s.clip) != src) {
    return;  // a stretched copy needs its whole source
  }
  if (src.IsEmpty() || d.IsEmpty()) return;
  Target mine;
  if (GetTarget(mine) && mine.pixels == s.pixels) {
    // Copying within one surface: read from a snapshot so overlapping areas
    // copy as a whole.
    std::vector<std::uint32_t> snapshot(static_cast<std::size_t>(src.Width()) * src.Height());
    for (int y = 0; y < src.Height(); ++y)
      std::memcpy(snapshot.data() + static_cast<std::ptrdiff_t>(y) * src.Width(),
                  s.pixels + static_cast<std::ptrdiff_t>(src.Top + y) * s.stride + src.Left,
                  static_cast<std::size_t>(src.Width()) * sizeof(std::uint32_t));
    Blit(d, snapshot.data(), src.Width(), Rect(0, 0, src.Width(), src.Height()));
    return;
  }
  Blit(d, s.pixels, s.stride, src);
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
  if (bitmap.Empty()) return;
  Blit(Bounds(x, y, bitmap.Width(), bitmap.Height()), bitmap.Bits(), bitmap.Width(),
       Rect(0, 0, bitmap.Width(), bitmap.Height()), bitmap.AlphaFormat() == afDefined);
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap& bitmap) {
  if (bitmap.Empty()) return;
  Blit(dest, bitmap.Bits(), bitmap.Width(), Rect(0, 0, bitmap.Width(), bitmap.Height()),
       bitmap.AlphaFormat() == afDefined);
}

void TCanvas::StretchDraw(const TRect& dest, TGraphic& graphic) {
  if (!graphic.Empty() && !dest.IsEmpty()) graphic.Draw(*this, dest);
}

TColor TCanvas::Pixels(int x, int y) {
  Target t;
  if (!Acquire(t)) return kInvalidColor;
  x += t.originX;
  y += t.originY;
  if (!t.clip.Contains(x, y)) return kInvalidColor;
  return PixelToRGB(t.pixels[static_cast<std::ptrdiff_t>(y) * t.stride + x]);
}

void TCanvas::SetPixels(int x, int y, TColor color) {
  Target t;
  if (!Acquire(t)) return;
  x += t.originX;
  y += t.originY;
  if (!t.clip.Contains(x, y)) return;
  t.pixels[static_cast<std::ptrdiff_t>(y) * t.stride + x] = pixelOf(color);
  SurfaceChanged(Bounds(x, y, 1, 1));
}

int TCanvas::LineWidth(const char* begin, const char* end, unsigned flags) {
  return walkLine(font_.Instance(), begin, end, flags, charExtra_, NoGlyphs{});
}

void TCanvas::DrawTextLine(Target& t, const char* begin, const char* end, int x, int y, unsigned flags,
                           int lineWidth, TRect& touched) {
  fonts::FontInstance& font = font_.Instance();
  const int left = x + t.originX;
  const int top = y + t.originY;
  const TRect cell = Bounds(left, top, lineWidth, font.Height());
  if (brush_.Style() != bsClear) {
    FillSurface(t, cell, pixelOf(brush_.Color()));
    touched = UnionRect(touched, IntersectRect(cell, t.clip));
  }
  const std::uint32_t ink = pixelOf(font_.Color());
  const int baseline = top + font.Ascent();
  const TRect clip = t.clip;
  const int underlineY = baseline + 1 < top + font.Height() ? baseline + 1 : baseline;
  auto drawGlyph = [&](const fonts::Glyph& g, int pen, bool underlined) {
    const int gx = left + pen + g.left;
    const int gy = baseline - g.top;
    const TRect box = IntersectRect(Bounds(gx, gy, g.width, g.rows), clip);
    if (!box.IsEmpty()) {
      for (int row = box.Top; row < box.Bottom; ++row) {
        const std::uint8_t* cov = g.coverage.data() + static_cast<std::ptrdiff_t>(row - gy) * g.width - gx;
        std::uint32_t* out = t.pixels + static_cast<std::ptrdiff_t>(row) * t.stride;
        for (int col = box.Left; col < box.Right; ++col)
          if (cov[col]) out[col] = blend(out[col], ink, cov[col]);
      }
      touched = UnionRect(touched, box);
    }
    if (underlined) {
      const TRect bar = Bounds(left + pen, underlineY, g.advance, 1);
      FillSurface(t, bar, ink);
      touched = UnionRect(touched, IntersectRect(bar, clip));
    }
  };
  walkLine(font, begin, end, flags, charExtra_, drawGlyph);
  const TFontStyles style = font_.Style();
  if (style.Contains(fsUnderline) || style.Contains(fsStrikeOut)) {
    if (style.Contains(fsUnderline)) FillSurface(t, Rect(left, underlineY, left + lineWidth, underlineY + 1), ink);
    const int strikeY = baseline - std::max(1, font.Ascent() / 3);
    if (style.Contains(fsStrikeOut)) FillSurface(t, Rect(left, strikeY, left + lineWidth, strikeY + 1), ink);
    touched = UnionRect(touched, IntersectRect(cell, clip));
  }
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  const int width = LineWidth(begin, end, DT_NOPREFIX);
  penPos_ = TPoint{x + width, y};
  Target t;
  if (text.empty() || !Acquire(t)) return;
  TRect touched;
  DrawTextLine(t, begin, end, x, y, DT_NOPREFIX, width, touched);
  if (!touched.IsEmpty()) SurfaceChanged(touched);
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const std::string& text) {
  const bool hadClip = hasClip_;
  const TRect oldClip = clip_;
  SetClipRect(hadClip ? IntersectRect(oldClip, rect) : rect);
  TextOut(x, y, text);
  hasClip_ = hadClip;
  clip_ = oldClip;
}

int TCanvas::DrawText(const std::string& text, const TRect& rect, unsigned flags) {
  fonts::FontInstance& font = font_.Instance();
  const int lineHeight = font.Height();
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  auto lineEnd = [&](const char* p) {
    if (flags & DT_SINGLELINE) return end;
    while (p < end && *p != '\r' && *p != '\n') ++p;
    return p;
  };
  // p is at a line break: CR LF, CR or LF.
  auto nextLine = [&](const char* p) { return (*p == '\r' && p + 1 < end && p[1] == '\n') ? p + 2 : p + 1; };
  int lines = 1;
  for (const char* p = lineEnd(begin); p < end; p = lineEnd(nextLine(p))) ++lines;
  const int total = text.empty() ? 0 : lines * lineHeight;

  Target t;
  if (text.empty() || !Acquire(t)) return total;
  if (!(flags & DT_NOCLIP)) {
    t.clip = IntersectRect(t.clip, OffsetRect(rect, t.originX, t.originY));
    if (t.clip.IsEmpty()) return total;
  }
  int y = rect.Top;
  if (flags & DT_SINGLELINE) {
    if (flags & DT_VCENTER) y = rect.Top + (rect.Height() - lineHeight) / 2;
    else if (flags & DT_BOTTOM) y = rect.Bottom - lineHeight;
  }
  TRect touched;
  const char* p = begin;
  for (;;) {
    const char* e = lineEnd(p);
    const int width = LineWidth(p, e, flags);
    int x = rect.Left;
    if (flags & DT_CENTER) x = rect.Left + (rect.Width() - width) / 2;
    else if (flags & DT_RIGHT) x = rect.Right - width;
    DrawTextLine(t, p, e, x, y, flags, width, touched);
    if (e >= end) break;
    p = nextLine(e);
    y += lineHeight;
  }
  if (!touched.IsEmpty()) SurfaceChanged(touched);
  return total;
}

TSize TCanvas::TextExtent(const std::string& text) {
  const char* begin = text.data();
  return TSize{LineWidth(begin, begin + text.size(), DT_NOPREFIX), font_.Instance().Height()};
}

// ------------------------------------------------------------------- bitmap

class TBitmap::TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap* bitmap) : bitmap_(bitmap) {}

 protected:
  bool GetTarget(Target& target) override {
    if (bitmap_->Empty()) return false;
    target.pixels = bitmap_->pixels_.data();
    target.stride = bitmap_->width_;
    target.originX = 0;
    target.originY = 0;
    target.clip = Rect(0, 0, bitmap_->width_, bitmap_->height_);
    return true;
  }

 private:
  TBitmap* bitmap_;
};

namespace {
constexpr std::uint32_t kNewPixel = 0xFF000000;
}

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height) { SetSize(width, height); }

TBitmap::~TBitmap() { delete canvas_; }

void TBitmap::SetSize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (width == width_ && height == height_) return;
  const int keptRows = std::min(height, height_);
  const auto w = static_cast<std::size_t>(width);
  const auto oldW = static_cast<std::size_t>(width_);
  const std::size_t needed = w * static_cast<std::size_t>(height);
  const std::size_t held = pixels_.size();  // the old pixels, in the old layout
  if (held < needed) {
    pixels_.resize(needed);
    fillPixels(pixels_.data() + held, needed - held, kNewPixel);
  }
  std::uint32_t* p = pixels_.data();
  if (width < width_) {
    for (int y = 0; y < keptRows; ++y) std::memmove(p + y * w, p + y * oldW, w * sizeof(std::uint32_t));
  } else if (width > width_) {
    for (int y = keptRows - 1; y >= 0; --y) {
      std::memmove(p + y * w, p + y * oldW, oldW * sizeof(std::uint32_t));
      std::fill_n(p + y * w + oldW, w - oldW, kNewPixel);
    }
  }
  // Rows below the kept ones may still hold old pixels where the buffer was.
  const std::size_t stale = std::min(held, needed);
  if (keptRows * w < stale) fillPixels(p + keptRows * w, stale - keptRows * w, kNewPixel);
  pixels_.resize(needed);
  width_ = width;
  height_ = height;
}

TCanvas* TBitmap::Canvas() {
  if (!canvas_) canvas_ = new TBitmapCanvas(this);
  return canvas_;
}

void TBitmap::TakePixels(int width, int height, std::vector<std::uint32_t>&& pixels) {
  if (width < 0 || height < 0 ||
      pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
    throw ERangeError();
  pixels_ = std::move(pixels);
  width_ = width;
  height_ = height;
}

TColor TBitmap::PixelColor(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return kInvalidColor;
  return PixelToRGB(ScanLine(y)[x]);
}

void TBitmap::Assign(const TPersistent* source) {
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    if (bitmap == this) return;
    width_ = bitmap->width_;
    height_ = bitmap->height_;
    pixels_ = bitmap->pixels_;
    alphaFormat_ = bitmap->alphaFormat_;
    return;
  }
  TPersistent::Assign(source);
}

void SmoothStretch(const TBitmap& source, TBitmap& dest) {
  if (source.Empty() || dest.Empty()) return;
  const int sw = source.Width();
  const int sh = source.Height();
  const int dw = dest.Width();
  const int dh = dest.Height();
  // Source span [first, last) of a destination index, at least one pixel.
  auto span = [](int i, int from, int to) {
    const int first = static_cast<int>(static_cast<long long>(i) * from / to);
    const int last = static_cast<int>(static_cast<long long>(i + 1) * from / to);
    return std::pair{first, std::max(last, first + 1)};
  };
  for (int y = 0; y < dh; ++y) {
    const auto [y0, y1] = span(y, sh, dh);
    std::uint32_t* out = dest.ScanLine(y);
    for (int x = 0; x < dw; ++x) {
      const auto [x0, x1] = span(x, sw, dw);
      unsigned long sum[4] = {0, 0, 0, 0};
      for (int sy = y0; sy < y1; ++sy) {
        const std::uint32_t* in = source.ScanLine(sy);
        for (int sx = x0; sx < x1; ++sx)
          for (int c = 0; c < 4; ++c) sum[c] += (in[sx] >> (8 * c)) & 0xFF;
      }
      const unsigned long n = static_cast<unsigned long>(y1 - y0) * static_cast<unsigned long>(x1 - x0);
      std::uint32_t p = 0;
      for (int c = 0; c < 4; ++c) p |= static_cast<std::uint32_t>((sum[c] + n / 2) / n) << (8 * c);
      out[x] = p;
    }
  }
}

// ----------------------------------------------------------------- pictures

void TGraphic::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Changed();
}

void TGraphic::Changed() {
  if (OnChange) OnChange(this);
}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
  graphic_ = std::move(graphic);
  if (graphic_) graphic_->OnChange = TNotifyEvent(this, &TPicture::GraphicChanged);
  GraphicChanged(this);
}

void TPicture::GraphicChanged(TObject*) {
  if (OnChange) OnChange(this);
}
