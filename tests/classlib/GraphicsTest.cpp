#include "classlib/Graphics.h"

#include "classlib/Fonts.h"
#include "classlib/SysUtils.h"
#include "platform/Win32.h"
#include "tests/support/Pixels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

namespace {

using testsupport::AreaIs;
using testsupport::CountPixels;
using testsupport::InkBounds;
using testsupport::PixelIs;
using testsupport::SamePixels;

TEST(TColor, SystemColoursAreLookedUpAndDirectColoursKeepTheirBytes) {
  EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ColorToRGB(clBtnShadow), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(ColorToRGB(clWindowText), GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(ColorToRGB(clBlue), 0xFF0000u);
  EXPECT_EQ(ColorToRGB(0x02123456), 0x123456u);
}

TEST(TBitmap, PixelsAreStoredBlueGreenRedAlpha) {
  TBitmap bitmap(2, 1);
  bitmap.Canvas()->SetPixels(1, 0, 0x332211);  // red 0x11, green 0x22, blue 0x33
  unsigned char bytes[4];
  std::memcpy(bytes, bitmap.ScanLine(0) + 1, 4);
  EXPECT_EQ(bytes[0], 0x33);
  EXPECT_EQ(bytes[1], 0x22);
  EXPECT_EQ(bytes[2], 0x11);
  EXPECT_EQ(bytes[3], 0xFF);
  EXPECT_EQ(bitmap.PixelColor(1, 0), 0x332211u);
  EXPECT_EQ(bitmap.Canvas()->Pixels(5, 0), kInvalidColor);
}

TEST(TBitmap, ResizingKeepsThePixelsThatStayInside) {
  TBitmap bitmap(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) bitmap.Canvas()->SetPixels(x, y, static_cast<TColor>(y * 16 + x + 1));
  bitmap.SetSize(5, 3);
  EXPECT_TRUE(PixelIs(bitmap, 2, 1, 0x13));
  EXPECT_TRUE(PixelIs(bitmap, 3, 1, clBlack));
  EXPECT_TRUE(PixelIs(bitmap, 0, 2, clBlack));
  bitmap.SetSize(2, 2);
  EXPECT_TRUE(PixelIs(bitmap, 1, 0, 0x02));
  EXPECT_TRUE(PixelIs(bitmap, 1, 1, 0x12));
  bitmap.SetSize(3, 3);  // grown again inside the old buffer: no old pixels show
  EXPECT_TRUE(PixelIs(bitmap, 1, 1, 0x12));
  EXPECT_TRUE(AreaIs(bitmap, Rect(2, 0, 3, 3), clBlack));
  EXPECT_TRUE(AreaIs(bitmap, Rect(0, 2, 3, 3), clBlack));
  bitmap.SetSize(0, 4);
  EXPECT_TRUE(bitmap.Empty());
  bitmap.Canvas()->FillRect(Rect(0, 0, 4, 4));  // nothing to draw on: no effect
}

TEST(TBitmap, TakesOverDecodedPixelsOfTheRightCountOnly) {
  TBitmap bitmap(2, 2);
  bitmap.Canvas()->SetPixels(0, 0, clRed);
  // Rows top first, 0xAARRGGBB: blue, green on top, white and black below.
  std::vector<std::uint32_t> pixels{0xFF0000FFu, 0xFF00FF00u, 0xFFFFFFFFu, 0xFF000000u, 0xFF000000u, 0xFF000000u};
  bitmap.TakePixels(3, 2, std::move(pixels));
  EXPECT_EQ(bitmap.Width(), 3);
  EXPECT_EQ(bitmap.Height(), 2);
  EXPECT_TRUE(PixelIs(bitmap, 0, 0, clBlue));
  EXPECT_TRUE(PixelIs(bitmap, 1, 0, clLime));
  EXPECT_TRUE(PixelIs(bitmap, 2, 0, clWhite));
  EXPECT_TRUE(PixelIs(bitmap, 2, 1, clBlack));
  bitmap.Canvas()->SetPixels(2, 1, clRed);  // the canvas draws into the pixels taken over
  EXPECT_TRUE(PixelIs(bitmap, 2, 1, clRed));

  EXPECT_THROW(bitmap.TakePixels(2, 2, std::vector<std::uint32_t>(3)), ERangeError);
  EXPECT_THROW(bitmap.TakePixels(-1, 2, std::vector<std::uint32_t>()), ERangeError);
  EXPECT_EQ(bitmap.Width(), 3);
  EXPECT_TRUE(PixelIs(bitmap, 1, 0, clLime));
}

TEST(TRect, SubtractionLeavesTheRemainingStrip) {
  const TRect full = Rect(0, 0, 10, 4);
  EXPECT_EQ(SubtractRect(full, Rect(0, 0, 3, 4)), Rect(3, 0, 10, 4));
  EXPECT_EQ(SubtractRect(full, Rect(7, 0, 10, 4)), Rect(0, 0, 7, 4));
  EXPECT_EQ(SubtractRect(full, Rect(0, 0, 10, 1)), Rect(0, 1, 10, 4));
  EXPECT_EQ(SubtractRect(full, Rect(0, 3, 10, 4)), Rect(0, 0, 10, 3));
  EXPECT_EQ(SubtractRect(full, Rect(0, 0, 0, 4)), full);
  EXPECT_TRUE(SubtractRect(full, full).IsEmpty());
  EXPECT_EQ(SubtractRect(full, Rect(4, 0, 6, 4)), full);  // would cut it in two
}

class CanvasTest : public testsupport::PaintTest {
 protected:
  void SetUp() override {
    bitmap.SetSize(20, 12);
    canvas.Brush()->SetColor(clWhite);
    canvas.FillRect(Rect(0, 0, 20, 12));
    Show(&bitmap);
  }
  TBitmap bitmap;
  TCanvas& canvas = *bitmap.Canvas();
};

TEST_F(CanvasTest, RectanglesExcludeTheirRightAndBottomEdges) {
  canvas.Brush()->SetColor(clRed);
  canvas.FillRect(Rect(2, 3, 5, 6));
  EXPECT_EQ(CountPixels(bitmap, Rect(0, 0, 20, 12), [](TColor c) { return c == clRed; }), 9);
  EXPECT_TRUE(AreaIs(bitmap, Rect(2, 3, 5, 6), clRed));
  canvas.Brush()->SetColor(clBlue);
  canvas.FrameRect(Rect(10, 2, 14, 6));
  EXPECT_TRUE(AreaIs(bitmap, Rect(10, 2, 14, 3), clBlue));
  EXPECT_TRUE(AreaIs(bitmap, Rect(13, 2, 14, 6), clBlue));
  EXPECT_TRUE(AreaIs(bitmap, Rect(11, 3, 13, 5), clWhite));
  EXPECT_TRUE(PixelIs(bitmap, 14, 2, clWhite));
}

TEST_F(CanvasTest, LinesExcludeTheirEndPoint) {
  canvas.Pen()->SetColor(clBlack);
  canvas.MoveTo(1, 1);
  canvas.LineTo(6, 1);
  canvas.LineTo(6, 4);
  EXPECT_TRUE(AreaIs(bitmap, Rect(1, 1, 7, 2), clBlack));
  EXPECT_TRUE(AreaIs(bitmap, Rect(6, 1, 7, 4), clBlack));
  EXPECT_TRUE(PixelIs(bitmap, 6, 4, clWhite));
  canvas.MoveTo(10, 10);
  canvas.LineTo(15, 5);  // diagonal: five pixels, (15, 5) not drawn
  EXPECT_EQ(CountPixels(bitmap, Rect(10, 5, 16, 11), [](TColor c) { return c == clBlack; }), 5);
  EXPECT_TRUE(PixelIs(bitmap, 15, 5, clWhite));
  EXPECT_EQ(canvas.PenPos(), (TPoint{15, 5}));
}

TEST_F(CanvasTest, PolygonsFillThePixelsWhoseCentreIsInside) {
  canvas.Pen()->SetStyle(psClear);
  canvas.Brush()->SetColor(clRed);
  const TPoint square[] = {{2, 2}, {6, 2}, {6, 5}, {2, 5}};
  canvas.Polygon(square);
  EXPECT_TRUE(AreaIs(bitmap, Rect(2, 2, 6, 5), clRed));
  EXPECT_EQ(CountPixels(bitmap, Rect(0, 0, 20, 12), [](TColor c) { return c == clRed; }), 12);
  // A right triangle with legs of 4: a pixel on the diagonal has its centre
  // on the edge, outside; rows of 0, 1, 2 and 3 pixels.
  canvas.Brush()->SetColor(clBlue);
  const TPoint triangle[] = {{10, 2}, {14, 6}, {10, 6}};
  canvas.Polygon(triangle);
  EXPECT_EQ(CountPixels(bitmap, Rect(10, 2, 14, 6), [](TColor c) { return c == clBlue; }), 6);
  EXPECT_TRUE(PixelIs(bitmap, 10, 2, clWhite));
  EXPECT_TRUE(AreaIs(bitmap, Rect(10, 5, 13, 6), clBlue));
  EXPECT_TRUE(PixelIs(bitmap, 13, 5, clWhite));
}

TEST_F(CanvasTest, Frame3DGivesTheBottomLeftCornerToTheTopLeftColour) {
  TRect r = Rect(1, 1, 9, 6);
  canvas.Frame3D(r, clRed, clBlue, 1);
  EXPECT_EQ(r, Rect(2, 2, 8, 5));
  EXPECT_TRUE(AreaIs(bitmap, Rect(1, 1, 2, 6), clRed));  // left column, both corners
  EXPECT_TRUE(AreaIs(bitmap, Rect(1, 1, 8, 2), clRed));
  EXPECT_TRUE(AreaIs(bitmap, Rect(8, 1, 9, 6), clBlue));  // right column, both corners
  EXPECT_TRUE(AreaIs(bitmap, Rect(2, 5, 9, 6), clBlue));
  TRect empty = Rect(5, 5, 5, 5);
  canvas.Frame3D(empty, clRed, clBlue, 2);  // nothing to draw, still shrinks
  EXPECT_EQ(empty, Rect(7, 7, 3, 3));
}

TEST_F(CanvasTest, DrawEdgeAdjustsOnlyTheSidesItDraws) {
  TRect r = Rect(2, 2, 10, 10);
  canvas.DrawEdge(r, EDGE_SUNKEN, BF_LEFT | BF_TOP | BF_ADJUST);
  EXPECT_EQ(r, Rect(4, 4, 10, 10));
  EXPECT_TRUE(PixelIs(bitmap, 2, 5, clBtnShadow));
  EXPECT_TRUE(PixelIs(bitmap, 3, 5, cl3DDkShadow));
  EXPECT_TRUE(AreaIs(bitmap, Rect(9, 4, 10, 10), clWhite));
}

TEST_F(CanvasTest, ClippingRestrictsEveryPrimitiveUntilRemoved) {
  canvas.SetClipRect(Rect(5, 0, 10, 12));
  canvas.Brush()->SetColor(clRed);
  canvas.FillRect(Rect(0, 0, 20, 2));
  canvas.Pen()->SetColor(clBlue);
  canvas.MoveTo(0, 5);
  canvas.LineTo(20, 5);
  EXPECT_EQ(canvas.ClipRect(), Rect(5, 0, 10, 12));
  EXPECT_TRUE(AreaIs(bitmap, Rect(5, 0, 10, 2), clRed));
  EXPECT_TRUE(AreaIs(bitmap, Rect(0, 0, 5, 2), clWhite));
  EXPECT_TRUE(AreaIs(bitmap, Rect(10, 5, 20, 6), clWhite));
  EXPECT_EQ(canvas.Pixels(2, 5), kInvalidColor);
  canvas.RemoveClip();
  canvas.FillRect(Rect(0, 0, 20, 2));
  EXPECT_TRUE(AreaIs(bitmap, Rect(0, 0, 20, 2), clRed));
  canvas.SetClipRect(Rect(3, 3, 3, 8));  // empty: nothing is drawn
  canvas.FillRect(Rect(0, 0, 20, 12));
  EXPECT_TRUE(PixelIs(bitmap, 3, 3, clWhite));
}

TEST_F(CanvasTest, CopiesAreClippedAndStretchedByNearestPixel) {
  TBitmap source(2, 2);
  source.Canvas()->SetPixels(0, 0, clRed);
  source.Canvas()->SetPixels(1, 0, clLime);
  source.Canvas()->SetPixels(0, 1, clBlue);
  source.Canvas()->SetPixels(1, 1, clYellow);
  canvas.Draw(19, 11, source);  // only the top-left pixel fits
  EXPECT_TRUE(PixelIs(bitmap, 19, 11, clRed));
  canvas.StretchDraw(Rect(0, 0, 4, 4), source);
  EXPECT_TRUE(AreaIs(bitmap, Rect(0, 0, 2, 2), clRed));
  EXPECT_TRUE(AreaIs(bitmap, Rect(2, 2, 4, 4), clYellow));
  // Within one surface, overlapping areas copy as a whole.
  canvas.CopyRect(Rect(1, 0, 5, 4), canvas, Rect(0, 0, 4, 4));
  EXPECT_TRUE(AreaIs(bitmap, Rect(1, 0, 3, 2), clRed));
  EXPECT_TRUE(AreaIs(bitmap, Rect(3, 2, 5, 4), clYellow));
}

// Text tests draw black "MS Sans Serif" (crisp strikes) on white.
class TextTest : public CanvasTest {
 protected:
  void SetUp() override {
    CanvasTest::SetUp();
    bitmap.SetSize(120, 40);
    canvas.FillRect(Rect(0, 0, 120, 40));
    canvas.Font()->SetColor(clBlack);
    canvas.Brush()->SetStyle(bsClear);
  }
  TRect Ink() { return InkBounds(bitmap, Rect(0, 0, 120, 40), [](TColor c) { return c != clWhite; }); }
  void Clear() {
    canvas.Brush()->SetStyle(bsSolid);
    canvas.FillRect(Rect(0, 0, 120, 40));
    canvas.Brush()->SetStyle(bsClear);
  }
};

TEST_F(TextTest, LayoutFlagsPlaceTheTextInItsRectangle) {
  const TRect box = Rect(10, 5, 110, 35);
  const int width = canvas.TextWidth("Tab");
  const int height = canvas.TextHeight("Tab");
  EXPECT_EQ(height, 13);  // "MS Sans Serif" -11: 11 above the baseline, 2 below
  struct Case {
    unsigned flags;
    int left;  // of the text's cell
    int top;
  };
  const Case cases[] = {
      {DT_LEFT | DT_TOP | DT_SINGLELINE, 10, 5},
      {DT_CENTER | DT_VCENTER | DT_SINGLELINE, 10 + (100 - width) / 2, 5 + (30 - height) / 2},
      {DT_RIGHT | DT_BOTTOM | DT_SINGLELINE, 110 - width, 35 - height},
  };
  for (const Case& c : cases) {
    Clear();
    canvas.DrawText("Tab", box, c.flags);
    const TRect ink = Ink();
    EXPECT_GE(ink.Left, c.left) << c.flags;
    EXPECT_LE(ink.Right, c.left + width) << c.flags;
    EXPECT_GE(ink.Top, c.top) << c.flags;
    EXPECT_LE(ink.Bottom, c.top + height) << c.flags;
    EXPECT_GT(ink.Width(), width / 2) << c.flags;
  }
}

TEST_F(TextTest, ASingleLineDrawsLineBreaksAsNothing) {
  canvas.DrawText("Ab\r\ncd", Rect(0, 0, 120, 40), DT_SINGLELINE);
  TBitmap joined(120, 40);
  joined.Canvas()->Brush()->SetColor(clWhite);
  joined.Canvas()->FillRect(Rect(0, 0, 120, 40));
  joined.Canvas()->Font()->SetColor(clBlack);
  joined.Canvas()->Brush()->SetStyle(bsClear);
  joined.Canvas()->DrawText("Abcd", Rect(0, 0, 120, 40), DT_SINGLELINE);
  EXPECT_TRUE(SamePixels(bitmap, joined, Rect(0, 0, 120, 40)));
  // Without DT_SINGLELINE the break starts a second line.
  Clear();
  EXPECT_EQ(canvas.DrawText("Ab\r\ncd", Rect(0, 0, 120, 40), DT_LEFT), 26);
  EXPECT_GT(Ink().Bottom, 13);
}

TEST_F(TextTest, PrefixesAndTabsFollowTheFlags) {
  const int plain = canvas.TextWidth("a&b");  // TextOut never processes prefixes
  EXPECT_GT(plain, canvas.TextWidth("ab"));
  canvas.DrawText("a&b", Rect(0, 0, 120, 20), DT_NOPREFIX);
  EXPECT_GT(Ink().Right, canvas.TextWidth("ab"));
  Clear();
  canvas.DrawText("a&&b", Rect(0, 0, 120, 20), 0);  // "&&" is one ampersand
  const TRect doubled = Ink();
  Clear();
  canvas.DrawText("a&b", Rect(0, 0, 120, 20), DT_NOPREFIX);
  EXPECT_EQ(Ink(), doubled);
  Clear();
  canvas.DrawText("&", Rect(0, 0, 120, 20), 0);  // a lone prefix draws nothing
  EXPECT_TRUE(Ink().IsEmpty());
  canvas.DrawText("a\tb", Rect(0, 20, 120, 40), DT_EXPANDTABS);
  const fonts::FontInstance& font = canvas.Font()->Instance();
  EXPECT_GE(Ink().Right, 8 * font.AverageCharWidth());
}

TEST_F(TextTest, DrawTextClipsToItsRectangleUnlessTold) {
  canvas.DrawText("Clipped", Rect(0, 0, 10, 13), DT_LEFT);
  EXPECT_LE(Ink().Right, 10);
  Clear();
  canvas.DrawText("Clipped", Rect(0, 0, 10, 13), DT_LEFT | DT_NOCLIP);
  EXPECT_GT(Ink().Right, 10);
}

TEST_F(TextTest, ASolidBrushPaintsTheTextCell) {
  canvas.Brush()->SetStyle(bsSolid);
  canvas.Brush()->SetColor(clYellow);
  canvas.TextOut(5, 5, "x");
  const TSize cell = canvas.TextExtent("x");
  EXPECT_TRUE(PixelIs(bitmap, 5, 5, clYellow));
  EXPECT_TRUE(PixelIs(bitmap, 5 + cell.cx - 1, 5 + cell.cy - 1, clYellow));
  EXPECT_TRUE(PixelIs(bitmap, 5 + cell.cx, 5, clWhite));
  EXPECT_EQ(canvas.PenPos().X, 5 + cell.cx);
}

}  // namespace
