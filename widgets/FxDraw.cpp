#include "widgets/FxDraw.h"

#include "platform/Win32.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

// -------------------------------------------------------------------- bevel

namespace {

// Rings of a border style, outside first: top-left and bottom-right colours.
struct Ring {
  TColor topLeft;
  TColor bottomRight;
};
struct BorderRings {
  int count;
  std::array<Ring, 2> rings;
};

BorderRings ringsOf(TFxBorderStyle style) {
  const Ring raised{clBtnHighlight, clBtnShadow};
  const Ring sunken{clBtnShadow, clBtnHighlight};
  const Ring face{clBtnFace, clBtnFace};
  switch (style) {
    case lsNone: return {0, {}};
    case lsSingle: return {1, {Ring{clBtnShadow, clBtnShadow}}};
    case lsSingleRaised: return {1, {raised}};
    case lsSingleLowered: return {1, {sunken}};
    case lsRaised: return {2, {Ring{cl3DLight, cl3DDkShadow}, raised}};
    case lsLowered: return {2, {sunken, Ring{cl3DDkShadow, cl3DLight}}};
    case lsRaisedspb: return {2, {raised, face}};
    case lsLoweredspb: return {2, {sunken, face}};
    case lsRaisedExt: return {2, {Ring{clBtnHighlight, cl3DDkShadow}, Ring{cl3DLight, clBtnShadow}}};
    case lsLoweredExt: return {2, {Ring{cl3DDkShadow, clBtnHighlight}, Ring{clBtnShadow, cl3DLight}}};
    case lsFrameInset: return {2, {sunken, raised}};
    case lsFrameOffset: return {2, {Ring{cl3DLight, cl3DDkShadow}, Ring{cl3DDkShadow, cl3DLight}}};
    case lsWindowBorder: return {2, {Ring{clBtnFace, cl3DDkShadow}, raised}};
    case lsDoubleRaised: return {2, {raised, raised}};
    case lsDoubleLowered: return {2, {sunken, sunken}};
  }
  return {0, {}};
}

// count one-pixel rings in colour; rect shrinks by count.
void borderRings(TCanvas& canvas, TRect& rect, int count, TColor color, bool transparent) {
  for (int i = 0; i < count; ++i) {
    if (!transparent) {
      canvas.Brush()->SetStyle(bsSolid);
      canvas.Brush()->SetColor(color);
      canvas.FrameRect(rect);
    }
    rect = InflateRect(rect, -1, -1);
  }
}

// A drop shadow of WidthOuter to the right and below, and a WidthInner
// outline around what stays of the rectangle.
void drawShadowFrame(const TFxBevel& bevel, TCanvas& canvas, TRect& rect) {
  const int drop = bevel.WidthOuter();
  const TRect face = Rect(rect.Left, rect.Top, rect.Right - drop, rect.Bottom - drop);
  canvas.Brush()->SetStyle(bsSolid);
  canvas.Brush()->SetColor(bevel.ShadowColor());
  canvas.FillRect(Rect(rect.Right - drop, rect.Top + drop, rect.Right, rect.Bottom));
  canvas.FillRect(Rect(rect.Left + drop, rect.Bottom - drop, rect.Right, rect.Bottom));
  rect = face;
  canvas.Frame3D(rect, clBlack, clBlack, bevel.WidthInner());
}

unsigned edgeOf(TFxEdgeStyle style) {
  switch (style) {
    case etRaised: return EDGE_RAISED;
    case etSunken: return EDGE_SUNKEN;
    case etEtched: return EDGE_ETCHED;
    case etBump: return EDGE_BUMP;
  }
  return EDGE_ETCHED;
}

unsigned sidesOf(TFxFrameSides sides) {
  unsigned flags = 0;
  if (sides.Contains(fsLeft)) flags |= BF_LEFT;
  if (sides.Contains(fsTop)) flags |= BF_TOP;
  if (sides.Contains(fsRight)) flags |= BF_RIGHT;
  if (sides.Contains(fsBottom)) flags |= BF_BOTTOM;
  return flags;
}

}  // namespace

int BorderStyleWidth(TFxBorderStyle style) { return ringsOf(style).count; }

void DrawBorderStyle(TCanvas& canvas, TRect& rect, TFxBorderStyle style) {
  const BorderRings border = ringsOf(style);
  for (int i = 0; i < border.count; ++i) {
    const Ring& ring = border.rings[static_cast<std::size_t>(i)];
    canvas.Frame3D(rect, ring.topLeft, ring.bottomRight, 1);
  }
}

bool DrawBevelStyle(TCanvas& canvas, TRect& rect, TFxBevelStyle style, int width, TColor shadowColor,
                    TColor lightColor) {
  if (width <= 0 || style == bvNone || style == bvShadow) return false;
  TColor topLeft = lightColor;
  TColor bottomRight = shadowColor;
  if (style == bvLowered || style == bvFrameLowered) std::swap(topLeft, bottomRight);
  if (style == bvNormal) topLeft = bottomRight = clBlack;

  if (style == bvFrameLowered || style == bvFrameRaised) {
    canvas.Brush()->SetStyle(bsSolid);
    const TRect r = rect;
    for (int k = 0; k < width; ++k) {
      canvas.Brush()->SetColor(bottomRight);
      canvas.FrameRect(Rect(r.Left + k + 1, r.Top + k + 1, r.Right, r.Bottom));
      canvas.Brush()->SetColor(topLeft);
      canvas.FrameRect(Rect(r.Left, r.Top, r.Right - k - 1, r.Bottom - k - 1));
    }
    rect = InflateRect(rect, -(width + 1), -(width + 1));
    return true;
  }
  if (width == 1) {
    canvas.Frame3D(rect, topLeft, bottomRight, 1);
    return true;
  }
  // Wider bevels: two bands of width w with 45-degree ends where they meet,
  // the bottom-right one first.
  const int l = rect.Left;
  const int t = rect.Top;
  const int r = rect.Right;
  const int b = rect.Bottom;
  const int w = width;
  const TPenStyle penStyle = canvas.Pen()->Style();
  canvas.Pen()->SetStyle(psClear);
  canvas.Brush()->SetStyle(bsSolid);
  canvas.Brush()->SetColor(bottomRight);
  const TPoint bottomBand[] = {{r, t}, {r, b}, {l, b}, {l + w, b - w}, {r - w, b - w}, {r - w, t + w}};
  canvas.Polygon(bottomBand);
  canvas.Brush()->SetColor(topLeft);
  const TPoint topBand[] = {{l, b}, {l, t}, {r, t}, {r - w, t + w}, {l + w, t + w}, {l + w, b - w}};
  canvas.Polygon(topBand);
  canvas.Pen()->SetStyle(penStyle);
  rect = InflateRect(rect, -w, -w);
  return true;
}

TRect PaintBevel(const TFxBevel& bevel, TCanvas& canvas, const TRect& rect, bool transparent) {
  TRect r = rect;
  if (bevel.BevelExtent() == 0) return r;
  switch (bevel.Mode()) {
    case bmCustom:
      if (bevel.StyleOuter() == bvShadow) {
        drawShadowFrame(bevel, canvas, r);
      } else {
        DrawBevelStyle(canvas, r, bevel.StyleOuter(), bevel.WidthOuter(), bevel.ShadowColor(), bevel.LightColor());
        borderRings(canvas, r, bevel.BorderWidth(), bevel.BorderColor(), transparent);
        DrawBevelStyle(canvas, r, bevel.StyleInner(), bevel.WidthInner(), bevel.ShadowColor(), bevel.LightColor());
      }
      break;
    case bmStandard: DrawBorderStyle(canvas, r, bevel.StandardStyle()); break;
    case bmEdge:
      if (!bevel.BorderSides().Empty()) {
        canvas.DrawEdge(r, edgeOf(bevel.EdgeStyle()), sidesOf(bevel.BorderSides()));
        r = InflateRect(r, -2, -2);
      }
      break;
    case bmWindows:
      // The platform draws no border of its own around a control here, so a
      // bevel that leaves it to the system shows none.
      if (!bevel.SystemBorder()) canvas.DrawEdge(r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
      break;
  }
  borderRings(canvas, r, bevel.BorderInnerWidth(), bevel.BorderColor(), transparent);
  return r;
}

// --------------------------------------------------------------------- fill

namespace {

void placePicture(const TFxFillObject& fill, TCanvas& canvas, const TRect& rect, const TBitmap& picture,
                  TColor backColor) {
  const int w = picture.Width();
  const int h = picture.Height();
  const bool tiled = fill.Style() == sfBrushBitmap || fill.TileMode() == tmTile;
  if (tiled) {
    // Tiles start at the offsets, repeated in both directions.
    const int startX = rect.Left + ((fill.OffsetX() % w) + w) % w - (fill.OffsetX() != 0 ? w : 0);
    const int startY = rect.Top + ((fill.OffsetY() % h) + h) % h - (fill.OffsetY() != 0 ? h : 0);
    for (int y = startY; y < rect.Bottom; y += h)
      for (int x = startX; x < rect.Right; x += w) canvas.Draw(x, y, picture);
    return;
  }
  if (fill.TileMode() == tmStretch) {
    canvas.StretchDraw(rect, picture);
    return;
  }
  if (fill.Options().Contains(foFillInner)) {
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(backColor);
    canvas.FillRect(rect);
  }
  TFxAlignment alignment = fill.Alignment();
  if (fill.TileMode() == tmCenter) alignment = agCenter;
  const int column = alignment % 3;  // left, centre, right
  const int row = alignment / 3;     // top, centre, bottom
  const int x = column == 0 ? rect.Left : column == 1 ? rect.Left + (rect.Width() - w) / 2 : rect.Right - w;
  const int y = row == 0 ? rect.Top : row == 1 ? rect.Top + (rect.Height() - h) / 2 : rect.Bottom - h;
  canvas.Draw(x + fill.OffsetX(), y + fill.OffsetY(), picture);
}

}  // namespace

bool PaintFill(const TFxFillObject& fill, TCanvas& canvas, const TRect& rect, TColor backColor) {
  const TFxFillStyle style = fill.Style();
  if (style == sfNone) return false;
  const TFxGradient& gradient = *fill.Gradient();
  if (style == sfGradient && fill.Options().Contains(foGrUseBitmap)) {
    FillGradient(canvas, rect, gradient.Style(), true, gradient.PaletteRealize(), gradient.ColorList());
    return true;
  }
  const TBitmap& picture = style == sfBitmapList ? *fill.ListBitmap() : *fill.Bitmap();
  if ((style == sfBitmap || style == sfBitmapList || style == sfBrushBitmap) && picture.Empty()) return false;
  canvas.SetClipRect(rect);
  switch (style) {
    case sfBrush:
      canvas.SetBrush(fill.Brush());
      canvas.Pen()->SetColor(backColor);
      canvas.FillRect(rect);
      break;
    case sfGradient:
      FillGradient(canvas, rect, gradient.Style(), false, gradient.PaletteRealize(), gradient.ColorList());
      break;
    default: placePicture(fill, canvas, rect, picture, backColor); break;
  }
  canvas.RemoveClip();
  return true;
}

// ----------------------------------------------------------------- gradient

void BuildColorRamp(TColor start, TColor end, int count, bool includeFirst, std::vector<TColor>* list) {
  if (!list || count <= 0) return;
  if (includeFirst) list->clear();
  const TColor from = ColorToRGB(start);
  const TColor to = ColorToRGB(end);
  if (count == 1) {
    if (includeFirst) list->push_back(from);
    return;
  }
  const int r0 = GetRValue(from);
  const int g0 = GetGValue(from);
  const int b0 = GetBValue(from);
  const int dr = GetRValue(to) - r0;
  const int dg = GetGValue(to) - g0;
  const int db = GetBValue(to) - b0;
  for (int i = includeFirst ? 0 : 1; i < count; ++i) {
    const auto r = static_cast<BYTE>((r0 + MulDiv(i, dr, count - 1)) & 0xFF);
    const auto g = static_cast<BYTE>((g0 + MulDiv(i, dg, count - 1)) & 0xFF);
    const auto b = static_cast<BYTE>((b0 + MulDiv(i, db, count - 1)) & 0xFF);
    list->push_back(RGB(r, g, b));
  }
}

namespace {

// The step position 0 .. 1 of a pixel centre (fx, fy in 0 .. 1) for the
// styles that are not bands.
double stepPosition(TFxGradientStyle style, double fx, double fy) {
  const double cx = std::fabs(fx - 0.5) * 2;
  const double cy = std::fabs(fy - 0.5) * 2;
  switch (style) {
    case gstSquare: return 1 - std::max(cx, cy);
    case gstElliptic: return std::max(0.0, 1 - std::sqrt(cx * cx + cy * cy));
    case gstTopLeft: return std::max(fx, fy);
    case gstTopRight: return std::max(1 - fx, fy);
    case gstBottomLeft: return std::max(fx, 1 - fy);
    case gstBottomRight: return std::max(1 - fx, 1 - fy);
    case gstTopLeftDiagonal: return (fx + fy) / 2;
    case gstTopRightDiagonal: return (1 - fx + fy) / 2;
    default: return fx;
  }
}

void paintBands(TCanvas& canvas, int x0, int y0, int w, int h, TFxGradientStyle style,
                const std::vector<TColor>& colors) {
  const int n = static_cast<int>(colors.size());
  canvas.Brush()->SetStyle(bsSolid);
  if (style == gstHorizontal) {
    for (int i = 0; i < n; ++i) {
      canvas.Brush()->SetColor(colors[static_cast<std::size_t>(i)]);
      canvas.FillRect(Rect(x0 + MulDiv(i, w, n), y0, x0 + MulDiv(i + 1, w, n), y0 + h));
    }
  } else {
    for (int i = n - 1; i >= 0; --i) {
      canvas.Brush()->SetColor(colors[static_cast<std::size_t>(i)]);
      canvas.FillRect(Rect(x0, y0 + MulDiv(i, h, n), x0 + w, y0 + MulDiv(i + 1, h, n)));
    }
  }
}

}  // namespace

void FillGradient(TCanvas& canvas, const TRect& rect, TFxGradientStyle style, bool useBitmap, bool realizePalette,
                  const std::vector<TColor>& colors) {
  (void)realizePalette;
  if (colors.empty() || rect.IsEmpty()) return;
  const int w = rect.Width();
  const int h = rect.Height();
  const bool bands = style == gstHorizontal || style == gstVertical;
  if (bands && !useBitmap) {
    const TPenStyle penStyle = canvas.Pen()->Style();
    canvas.Pen()->SetStyle(psClear);
    paintBands(canvas, rect.Left, rect.Top, w, h, style, colors);
    canvas.Pen()->SetStyle(penStyle);
    return;
  }
  const int n = static_cast<int>(colors.size());
  if (style == gstHorizontal) {
    // Every row is the same: the bands are composed in one row, which one
    // copy stretches over the height.
    TBitmap row(w, 1);
    std::uint32_t* pixels = row.ScanLine(0);
    for (int i = 0; i < n; ++i)
      std::fill(pixels + MulDiv(i, w, n), pixels + MulDiv(i + 1, w, n), RGBToPixel(colors[static_cast<std::size_t>(i)]));
    canvas.StretchDraw(rect, row);
    return;
  }
  TBitmap composed(w, h);
  if (bands) {
    paintBands(*composed.Canvas(), 0, 0, w, h, style, colors);
  } else {
    for (int y = 0; y < h; ++y) {
      std::uint32_t* row = composed.ScanLine(y);
      for (int x = 0; x < w; ++x) {
        const double t = stepPosition(style, (x + 0.5) / w, (y + 0.5) / h);
        const int i = std::clamp(static_cast<int>(t * n), 0, n - 1);
        row[x] = RGBToPixel(colors[static_cast<std::size_t>(i)]);
      }
    }
  }
  canvas.Draw(rect.Left, rect.Top, composed);
}

// --------------------------------------------------------------------- text

unsigned AlignmentTextFlags(TFxAlignment alignment) {
  static constexpr unsigned kHorizontal[3] = {DT_LEFT, DT_CENTER, DT_RIGHT};
  static constexpr unsigned kVertical[3] = {DT_TOP, DT_VCENTER, DT_BOTTOM};
  return kHorizontal[alignment % 3] | kVertical[alignment / 3] | DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX;
}

namespace {

void drawLayer(TCanvas& canvas, const std::string& text, TColor color, int dx, int dy, unsigned flags,
               const TRect& target) {
  canvas.Font()->SetColor(color);
  canvas.DrawText(text, OffsetRect(target, dx, dy), flags);
}

// The layers under the text that make its 3D effect, drawn in order.
void drawEffect(TCanvas& canvas, const std::string& text, const TFx3DCaption& s, unsigned flags,
                const TRect& target) {
  // Towards the light, and away from it.
  int lx = -1;
  int ly = -1;
  switch (s.Orientation()) {
    case toBottomLeft: lx = -1, ly = 1; break;
    case toBottomRight: lx = 1, ly = 1; break;
    case toTopLeft: lx = -1, ly = -1; break;
    case toTopRight: lx = 1, ly = -1; break;
  }
  const int ld = s.LightDepth();
  const int sd = s.ShadowDepth();
  auto light = [&](TColor color) { drawLayer(canvas, text, color, lx * ld, ly * ld, flags, target); };
  auto shadow = [&](TColor color, int depth) { drawLayer(canvas, text, color, -lx * depth, -ly * depth, flags, target); };
  switch (s.Style()) {
    case tdNone: break;
    case tdRaisedShadow: shadow(s.ShadowColor(), sd + 1); [[fallthrough]];
    case tdRaised:
    case tdPColorRaised:
      light(s.LightColor());
      shadow(s.ShadowColor(), sd);
      break;
    case tdSunkenShadow: shadow(s.LightColor(), sd + 1); [[fallthrough]];
    case tdSunken:
    case tdPColorSunken:
      light(s.ShadowColor());
      shadow(s.LightColor(), sd);
      break;
    case tdShadow: shadow(s.ShadowColor(), sd); break;
    case tdOutline:
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          if (dx || dy) drawLayer(canvas, text, s.ShadowColor(), dx, dy, flags, target);
      break;
    case tdExtrudeEnh: light(s.LightColor()); [[fallthrough]];
    case tdExtrude:
      for (int depth = std::max(1, sd); depth >= 1; --depth) shadow(s.ShadowColor(), depth);
      break;
  }
}

}  // namespace

void DrawCaption3D(TCanvas& canvas, const std::string& text, const TFx3DCaption* settings, const TRect* clipRect,
                   bool clip, bool enabled, unsigned flags, const TRect& target) {
  if (text.empty() || target.IsEmpty()) return;
  if (clip) canvas.SetClipRect(clipRect ? *clipRect : target);
  const TColor ink = canvas.Font()->Color();
  const TBrushStyle brushStyle = canvas.Brush()->Style();
  const int extra = canvas.TextCharacterExtra();
  canvas.Brush()->SetStyle(bsClear);
  if (!settings) {
    canvas.DrawText(text, target, flags);
  } else {
    canvas.SetTextCharacterExtra(settings->Tracing());
    const TFxDisabledStyle disabled = enabled ? dsNone : settings->DisabledStyle();
    if (disabled == dsStandard || disabled == ds3d) {
      drawLayer(canvas, text, clBtnHighlight, 1, 1, flags, target);
      drawLayer(canvas, text, clBtnShadow, 0, 0, flags, target);
    } else {
      drawEffect(canvas, text, *settings, flags, target);
      drawLayer(canvas, text, disabled == dsAuto ? clGrayText : ink, 0, 0, flags, target);
    }
  }
  canvas.Font()->SetColor(ink);
  canvas.Brush()->SetStyle(brushStyle);
  canvas.SetTextCharacterExtra(extra);
  if (clip) canvas.RemoveClip();
}
