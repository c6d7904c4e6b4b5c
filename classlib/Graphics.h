// The software canvas: colours, pens, brushes, fonts, bitmaps and a canvas
// that draws on 32-bit pixels with Windows drawing semantics.
//
// Geometry: rectangles exclude their right and bottom edges; lines exclude
// their end point; polygons are filled where pixel centres lie inside (even-odd
// rule). Every primitive is clipped to the canvas's clip rectangle.
//
// Pixels are 32-bit 0xAARRGGBB values, stored B, G, R, A in memory (the
// Windows DIB layout), rows top to bottom, so a bitmap can be handed to
// SetDIBitsToDevice unchanged. The canvas writes alpha 0xFF.
//
// Text: byte strings are Windows-1252 text, drawn with FreeType through the
// font cache of classlib/Fonts.h. Faces and rendered glyphs are cached for the
// life of the process, so drawing the same text again costs no look-up, file
// access or allocation.
//
// Only the GUI thread draws.
#pragma once

#include "classlib/Classes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace fonts {
class FontInstance;
}

// A picture's data that cannot be read: "<what> image: <reason>".
class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};

// ------------------------------------------------------------------ colours

// The class library's colour: a direct colour 0x00BBGGRR (red in the lowest
// byte) or a system colour 0x80000000 + the platform's system colour index,
// converted with GetSysColor when drawn.
using TColor = std::uint32_t;

constexpr TColor clSystemColor = 0x80000000;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;

constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor cl3DDkShadow = clSystemColor | 21;
constexpr TColor cl3DLight = clSystemColor | 22;

// The direct colour 0x00BBGGRR of a colour; system colours are looked up now.
TColor ColorToRGB(TColor color);

// What reading a pixel outside a surface or its clip returns.
constexpr TColor kInvalidColor = 0xFFFFFFFF;

// A direct colour as an opaque pixel, and back.
constexpr std::uint32_t RGBToPixel(TColor rgb) {
  return 0xFF000000u | ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}
constexpr TColor PixelToRGB(std::uint32_t pixel) {
  return ((pixel >> 16) & 0xFF) | (pixel & 0xFF00) | ((pixel & 0xFF) << 16);
}

// ----------------------------------------------------------------- geometry

struct TPoint {
  int X = 0;
  int Y = 0;
  friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int cx = 0;
  int cy = 0;
  friend constexpr bool operator==(const TSize&, const TSize&) = default;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
  // No pixel inside (zero or negative width or height).
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
  friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

constexpr TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }
constexpr TRect Bounds(int left, int top, int width, int height) {
  return TRect{left, top, left + width, top + height};
}
// The common part; an empty result is (0, 0, 0, 0).
TRect IntersectRect(const TRect& a, const TRect& b);
// The smallest rectangle holding both; empty rectangles are ignored.
TRect UnionRect(const TRect& a, const TRect& b);
constexpr TRect OffsetRect(const TRect& r, int dx, int dy) {
  return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}
// What remains of a after taking b away, when that is a rectangle: a itself
// when b misses a or cuts it in two, empty when b covers a.
TRect SubtractRect(const TRect& a, const TRect& b);
// Grows by dx and dy on each side (shrinks for negative values).
constexpr TRect InflateRect(const TRect& r, int dx, int dy) {
  return TRect{r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy};
}

// ------------------------------------------------------ pens, brushes, fonts

// Base of pen, brush and font: OnChange is called after every change.
class TGraphicsObject : public TPersistent {
 public:
  TNotifyEvent OnChange;

 protected:
  void Changed();
};

enum TPenStyle : std::uint8_t { psSolid, psClear };

class TPen : public TGraphicsObject {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  // Lines wider than 1 pixel are drawn as squares of that size along the path.
  int Width() const { return width_; }
  void SetWidth(int value);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle value);
  void Assign(const TPersistent* source) override;

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
};

enum TBrushStyle : std::uint8_t { bsSolid, bsClear };

class TBrush : public TGraphicsObject {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle value);
  void Assign(const TPersistent* source) override;

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};

enum TFontStyle : std::uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;

// Character sets of a font (stored; text is always Windows-1252).
constexpr std::uint8_t kAnsiCharset = 0;
constexpr std::uint8_t kDefaultCharset = 1;

// The screen's resolution: font sizes in points convert to pixels with it.
constexpr int kScreenPixelsPerInch = 96;

// A font as the class library describes it. The default is "MS Sans Serif",
// height -11, clWindowText, default character set, no style.
class TFont : public TGraphicsObject {
 public:
  const std::string& Name() const { return name_; }
  void SetName(const std::string& value);
  // Negative: the character height in pixels (height -11 draws characters
  // 11 pixels high, the em size); positive: the cell height including the
  // internal leading.
  int Height() const { return height_; }
  void SetHeight(int value);
  // Points at kScreenPixelsPerInch: Size 8 is Height -11.
  int Size() const;
  void SetSize(int points);
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles value);
  std::uint8_t Charset() const { return charset_; }
  void SetCharset(std::uint8_t value);
  // Copies a font; a font equal to this one changes nothing (no OnChange).
  void Assign(const TPersistent* source) override;

  // The face and size this font draws with, found on first use after a
  // change of name, height or style.
  fonts::FontInstance& Instance() const;

 private:
  void FaceChanged();

  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  TColor color_ = clWindowText;
  TFontStyles style_;
  std::uint8_t charset_ = kDefaultCharset;
  mutable fonts::FontInstance* instance_ = nullptr;
};

// ------------------------------------------------------------------- canvas

class TBitmap;
class TGraphic;

// Draws on a surface of pixels through its font, brush and pen. Coordinates
// are the canvas's own (a control's canvas has its origin at the control's
// top-left corner). A canvas that has no surface (a control not shown) draws
// nothing and reads kInvalidColor.
class TCanvas : public TPersistent {
 public:
  TCanvas();
  ~TCanvas() override;

  TFont* Font() { return &font_; }
  TBrush* Brush() { return &brush_; }
  TPen* Pen() { return &pen_; }
  void SetFont(const TFont* value) { font_.Assign(value); }
  void SetBrush(const TBrush* value) { brush_.Assign(value); }
  void SetPen(const TPen* value) { pen_.Assign(value); }

  TPoint PenPos() const { return penPos_; }
  void MoveTo(int x, int y) { penPos_ = TPoint{x, y}; }
  // A line in the pen from the pen position to (x, y), without that end
  // point; the pen position moves there.
  void LineTo(int x, int y);
  // Lines through the points, each without its end point.
  void Polyline(std::span<const TPoint> points);
  // Fills the polygon with the brush (pixels whose centre lies inside), then
  // outlines it with the pen.
  void Polygon(std::span<const TPoint> points);

  // Fills the rectangle with the brush (a clear brush fills nothing).
  void FillRect(const TRect& rect);
  // A one-pixel outline of the rectangle in the brush colour.
  void FrameRect(const TRect& rect);
  // Outlines the rectangle with the pen and fills the inside with the brush.
  void Rectangle(const TRect& rect);
  // width one-pixel rings, each of a line in topLeft from the bottom-left
  // corner up to the top-left and on to the top-right, and a line in
  // bottomRight from the top-right down to the bottom-right and on to the
  // bottom-left (lines without end points: the bottom-left corner pixel takes
  // topLeft, the top-right one bottomRight). rect shrinks by width, also
  // where nothing is left to draw on.
  void Frame3D(TRect& rect, TColor topLeft, TColor bottomRight, int width);
  // The system's 3D edges: edge is a combination of BDR_* flags (outer and
  // inner border), sides of BF_* flags; with BF_ADJUST rect shrinks by the
  // width drawn (1 per border).
  void DrawEdge(TRect& rect, unsigned edge, unsigned sides);

  // Copies source's sourceRect into dest, stretched (nearest pixel) when the
  // sizes differ.
  void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);
  // Copies the whole bitmap with its top-left corner at (x, y); a bitmap
  // whose alpha is defined is blended over what is there.
  void Draw(int x, int y, const TBitmap& bitmap);
  void StretchDraw(const TRect& dest, const TBitmap& bitmap);
  // The graphic's own drawing into dest.
  void StretchDraw(const TRect& dest, TGraphic& graphic);

  // The direct colour of a pixel; kInvalidColor outside the clip.
  TColor Pixels(int x, int y);
  void SetPixels(int x, int y, TColor color);

  // Text at (x, y), the top of its cell, in the font colour; the cell
  // background is filled with the brush unless the brush is clear.
  void TextOut(int x, int y, const std::string& text);
  // TextOut clipped to rect.
  void TextRect(const TRect& rect, int x, int y, const std::string& text);
  // Text laid out in rect by DT_* flags: DT_LEFT, DT_CENTER, DT_RIGHT;
  // DT_TOP, DT_VCENTER, DT_BOTTOM (with DT_SINGLELINE); DT_SINGLELINE (line
  // breaks are drawn as nothing, on the one line); DT_EXPANDTABS (tab stops
  // every 8 average character widths); DT_NOPREFIX (without it "&x" draws x
  // underlined and "&&" one ampersand); DT_NOCLIP (else the output is clipped
  // to rect). Without DT_SINGLELINE lines break at CR, LF and CR LF. Returns
  // the height of the text.
  int DrawText(const std::string& text, const TRect& rect, unsigned flags);
  TSize TextExtent(const std::string& text);
  int TextWidth(const std::string& text) { return TextExtent(text).cx; }
  int TextHeight(const std::string& text) { return TextExtent(text).cy; }
  // Extra pixels after every character.
  int TextCharacterExtra() const { return charExtra_; }
  void SetTextCharacterExtra(int value) { charExtra_ = value; }

  // Restricts drawing to rect (within what the surface allows) until
  // RemoveClip.
  void SetClipRect(const TRect& rect);
  void RemoveClip() { hasClip_ = false; }
  bool HasClip() const { return hasClip_; }
  // The rectangle that drawing reaches now, in canvas coordinates.
  TRect ClipRect();

 protected:
  // Where a primitive draws: the surface, the canvas's origin on it and the
  // part of the surface the canvas may touch (surface coordinates).
  struct Target {
    std::uint32_t* pixels = nullptr;
    int stride = 0;  // pixels per row
    int originX = 0;
    int originY = 0;
    TRect clip;
  };
  // Fills target; false when there is nothing to draw on now.
  virtual bool GetTarget(Target& target) = 0;
  // Called after a primitive changed area (surface coordinates, not empty).
  virtual void SurfaceChanged(const TRect& area) { (void)area; }

 private:
  bool Acquire(Target& t);
  void FillSurface(Target& t, const TRect& surfaceRect, std::uint32_t pixel);
  void PlotLine(Target& t, TPoint from, TPoint to, std::uint32_t pixel, int width, TRect& touched);
  void FillPolygon(Target& t, std::span<const TPoint> points, std::uint32_t pixel, TRect& touched);
  void DrawTextLine(Target& t, const char* begin, const char* end, int x, int y, unsigned flags, int lineWidth,
                    TRect& touched);
  int LineWidth(const char* begin, const char* end, unsigned flags);
  void Blit(const TRect& dest, const std::uint32_t* pixels, int stride, const TRect& sourceRect, bool blend = false);

  TFont font_;
  TBrush brush_;
  TPen pen_;
  TPoint penPos_;
  int charExtra_ = 0;
  bool hasClip_ = false;
  TRect clip_;
};

// ------------------------------------------------------------------- bitmap

// What the alpha bytes of a bitmap mean to Draw: nothing (afIgnored, the
// pixels are copied), or a straight alpha to blend by (afDefined).
enum TAlphaFormat : std::uint8_t { afIgnored, afDefined };

// An off-screen surface of 32-bit pixels with its own canvas. New pixels are
// opaque black.
class TBitmap : public TPersistent {
 public:
  TBitmap();
  TBitmap(int width, int height);
  ~TBitmap() override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  // Keeps the pixels that remain inside; the buffer is reused when it is
  // large enough, so resizing back and forth does not allocate.
  void SetSize(int width, int height);
  void SetWidth(int value) { SetSize(value, height_); }
  void SetHeight(int value) { SetSize(width_, value); }
  // Becomes width x height with the given pixels (rows top first), taken over
  // without a copy, so that a decoder's buffer becomes the bitmap's and no
  // second one is filled. Raises ERangeError, changing nothing, when pixels
  // does not hold exactly width x height values.
  void TakePixels(int width, int height, std::vector<std::uint32_t>&& pixels);

  TCanvas* Canvas();
  // Row y (0 at the top) of Width() pixels.
  std::uint32_t* ScanLine(int y) { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
  const std::uint32_t* ScanLine(int y) const {
    return pixels_.data() + static_cast<std::size_t>(y) * width_;
  }
  // All rows, top to bottom, Width() pixels each.
  const std::uint32_t* Bits() const { return pixels_.data(); }
  std::uint32_t* Bits() { return pixels_.data(); }
  // The direct colour of a pixel (kInvalidColor outside).
  TColor PixelColor(int x, int y) const;

  TAlphaFormat AlphaFormat() const { return alphaFormat_; }
  void SetAlphaFormat(TAlphaFormat value) { alphaFormat_ = value; }

  // Replaces size and pixels by those of a PNG file's bytes (any PNG colour
  // type), keeping its alpha: AlphaFormat becomes afDefined. Raises
  // EInvalidGraphic "PNG image: <reason>" on damaged data, leaving the bitmap
  // as it was.
  void LoadFromPng(const unsigned char* data, std::size_t size);

  // Copies another bitmap's size, pixels and alpha format.
  void Assign(const TPersistent* source) override;

 private:
  class TBitmapCanvas;
  int width_ = 0;
  int height_ = 0;
  TAlphaFormat alphaFormat_ = afIgnored;
  std::vector<std::uint32_t> pixels_;
  TBitmapCanvas* canvas_ = nullptr;
};

// dest's pixels become source's picture scaled to dest's size: each pixel the
// average of the source area it covers (a smooth reduction, as a person would
// scale a photograph), or the nearest source pixel where dest is larger.
void SmoothStretch(const TBitmap& source, TBitmap& dest);

// ------------------------------------------------------------------ pictures

// A picture that can draw itself: the base of the image formats (JPEG in
// classlib/Jpeg.h).
class TGraphic : public TPersistent {
 public:
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  bool Empty() const { return Width() <= 0 || Height() <= 0; }
  // Replaces the picture by the one in a file's bytes; raises
  // EInvalidGraphic on damaged data.
  virtual void LoadFromMemory(const unsigned char* data, std::size_t size) = 0;
  // Draws the whole picture into rect, scaled to its size.
  virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;
  // Whether a colour of the picture stands for "no picture here" (formats
  // without one ignore it).
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);

  // Follows every change of the picture.
  TNotifyEvent OnChange;

 protected:
  void Changed();

 private:
  bool transparent_ = false;
};

// The holder of a control's picture; it owns its graphic.
class TPicture : public TPersistent {
 public:
  TPicture();
  ~TPicture() override;

  // The picture, or null.
  TGraphic* Graphic() const { return graphic_.get(); }
  void SetGraphic(std::unique_ptr<TGraphic> graphic);
  // A new graphic of class G loaded from a file's bytes, which then becomes
  // the picture. Raises EInvalidGraphic on damaged data, keeping the old one.
  template <class G>
  G* LoadFromMemory(const unsigned char* data, std::size_t size) {
    auto graphic = std::make_unique<G>();
    graphic->LoadFromMemory(data, size);
    G* loaded = graphic.get();
    SetGraphic(std::move(graphic));
    return loaded;
  }
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }

  // Follows every change of the picture or of its graphic.
  TNotifyEvent OnChange;

 private:
  void GraphicChanged(TObject* sender);

  std::unique_ptr<TGraphic> graphic_;
};
