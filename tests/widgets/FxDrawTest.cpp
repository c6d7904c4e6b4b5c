#include "widgets/FxDraw.h"

#include "platform/Win32.h"
#include "tests/support/Pixels.h"

#include <gtest/gtest.h>

namespace {

using testsupport::AreaIs;
using testsupport::CountPixels;
using testsupport::InkBounds;
using testsupport::PixelIs;

class FxDrawTest : public testsupport::PaintTest {
 protected:
  void Paper(int width, int height, TColor color = clWhite) {
    bitmap.SetSize(width, height);
    canvas.Brush()->SetColor(color);
    canvas.FillRect(Rect(0, 0, width, height));
    Show(&bitmap);
  }
  TBitmap bitmap;
  TCanvas& canvas = *bitmap.Canvas();
};

std::vector<TColor> mainWindowRamp() {
  std::vector<TColor> ramp;
  BuildColorRamp(clBlue, clBlack, 236, true, &ramp);
  return ramp;
}

TEST_F(FxDrawTest, HorizontalBandsOf236StepsOver590Pixels) {
  Paper(600, 4);
  const std::vector<TColor> ramp = mainWindowRamp();
  FillGradient(canvas, Rect(5, 1, 595, 3), gstHorizontal, true, false, ramp);
  // Band i covers MulDiv(i, 590, 236) .. MulDiv(i + 1, 590, 236): edges 0, 3,
  // 5, 8, 10, 13, ... 588, 590, alternately 3 and 2 pixels wide.
  const int edges[] = {0, 3, 5, 8, 10, 13};
  for (int i = 0; i + 1 < 6; ++i)
    EXPECT_TRUE(AreaIs(bitmap, Rect(5 + edges[i], 1, 5 + edges[i + 1], 3), ramp[static_cast<std::size_t>(i)]));
  EXPECT_TRUE(AreaIs(bitmap, Rect(5 + 588, 1, 5 + 590, 3), ramp[235]));
  EXPECT_TRUE(AreaIs(bitmap, Rect(5 + 585, 1, 5 + 588, 3), ramp[234]));
  EXPECT_TRUE(AreaIs(bitmap, Rect(0, 0, 600, 1), clWhite));
  EXPECT_TRUE(AreaIs(bitmap, Rect(595, 0, 600, 4), clWhite));
}

TEST_F(FxDrawTest, ANarrowGradientSkipsTheStepsOfEmptyBands) {
  Paper(58, 2);
  const std::vector<TColor> ramp = mainWindowRamp();
  FillGradient(canvas, Rect(0, 0, 58, 2), gstHorizontal, false, false, ramp);
  EXPECT_TRUE(PixelIs(bitmap, 0, 0, ramp[2]));
  EXPECT_TRUE(PixelIs(bitmap, 1, 0, ramp[6]));
  EXPECT_TRUE(PixelIs(bitmap, 57, 1, ramp[233]));  // bands 234 and 235 are empty
}

TEST_F(FxDrawTest, VerticalBandsRunFromTheTop) {
  Paper(2, 4);
  FillGradient(canvas, Rect(0, 0, 2, 4), gstVertical, true, false, {clRed, clBlue});
  EXPECT_TRUE(AreaIs(bitmap, Rect(0, 0, 2, 2), clRed));
  EXPECT_TRUE(AreaIs(bitmap, Rect(0, 2, 2, 4), clBlue));
  FillGradient(canvas, Rect(0, 0, 2, 4), gstVertical, true, false, {});  // no colours: nothing
  EXPECT_TRUE(PixelIs(bitmap, 0, 0, clRed));
}

TEST_F(FxDrawTest, ALoweredOnePixelBevelOnTheProgressBar) {
  Paper(592, 20, clYellow);  // the highlight is white
  TFxBevel bevel;
  bevel.SetStyleOuter(bvLowered);
  const TRect inner = PaintBevel(bevel, canvas, Rect(0, 0, 592, 20), false);
  EXPECT_EQ(inner, Rect(1, 1, 591, 19));
  EXPECT_TRUE(AreaIs(bitmap, Rect(0, 0, 1, 20), clBtnShadow));      // column 0, rows 0..19
  EXPECT_TRUE(AreaIs(bitmap, Rect(0, 0, 591, 1), clBtnShadow));     // row 0, columns 0..590
  EXPECT_TRUE(AreaIs(bitmap, Rect(591, 0, 592, 19), clBtnHighlight));  // column 591, rows 0..18
  EXPECT_TRUE(AreaIs(bitmap, Rect(1, 19, 592, 20), clBtnHighlight));    // row 19, columns 1..591
  EXPECT_TRUE(AreaIs(bitmap, inner, clYellow));
}

TEST_F(FxDrawTest, BevelStylesShrinkByWhatTheyDraw) {
  Paper(40, 40);
  struct Case {
    TFxBevelStyle style;
    int width;
    bool drawn;
    int shrink;
  };
  const Case cases[] = {
      {bvNone, 2, false, 0},    {bvShadow, 2, false, 0},   {bvRaised, 0, false, 0},
      {bvRaised, 3, true, 3},   {bvNormal, 1, true, 1},    {bvFrameLowered, 1, true, 2},
      {bvFrameRaised, 2, true, 3},
  };
  for (const Case& c : cases) {
    TRect r = Rect(5, 5, 35, 35);
    EXPECT_EQ(DrawBevelStyle(canvas, r, c.style, c.width, clBtnShadow, clBtnHighlight), c.drawn) << int{c.style};
    EXPECT_EQ(r, InflateRect(Rect(5, 5, 35, 35), -c.shrink, -c.shrink)) << int{c.style};
  }
}

TEST_F(FxDrawTest, AWideRaisedBevelHasLightAndShadowBands) {
  Paper(30, 30);
  TRect r = Rect(0, 0, 30, 30);
  DrawBevelStyle(canvas, r, bvRaised, 3, clRed, clBlue);
  EXPECT_TRUE(AreaIs(bitmap, Rect(0, 0, 27, 3), clBlue));   // top band, short of the 45-degree end
  EXPECT_TRUE(AreaIs(bitmap, Rect(0, 0, 3, 27), clBlue));   // left band
  EXPECT_TRUE(AreaIs(bitmap, Rect(27, 3, 30, 30), clRed));  // right band
  EXPECT_TRUE(AreaIs(bitmap, Rect(3, 27, 30, 30), clRed));  // bottom band
  EXPECT_TRUE(AreaIs(bitmap, Rect(3, 3, 27, 27), clWhite));
}

TEST_F(FxDrawTest, BorderStylesTakeTheirWidth) {
  Paper(20, 20);
  for (int s = lsNone; s <= lsDoubleLowered; ++s) {
    const auto style = static_cast<TFxBorderStyle>(s);
    TRect r = Rect(2, 2, 18, 18);
    DrawBorderStyle(canvas, r, style);
    const int w = BorderStyleWidth(style);
    EXPECT_EQ(r, Rect(2 + w, 2 + w, 18 - w, 18 - w)) << s;
  }
  EXPECT_EQ(BorderStyleWidth(lsNone), 0);
  EXPECT_EQ(BorderStyleWidth(lsSingle), 1);
  EXPECT_EQ(BorderStyleWidth(lsSingleRaised), 1);
  EXPECT_EQ(BorderStyleWidth(lsSingleLowered), 1);
  EXPECT_EQ(BorderStyleWidth(lsFrameInset), 2);
}

TEST_F(FxDrawTest, BevelsDrawTheirBorderRingsUnlessTransparent) {
  Paper(20, 20);
  TFxBevel bevel;
  bevel.SetBorderInnerWidth(2);
  bevel.SetBorderColor(clRed);
  EXPECT_EQ(PaintBevel(bevel, canvas, Rect(0, 0, 20, 20), true), Rect(2, 2, 18, 18));
  EXPECT_TRUE(AreaIs(bitmap, Rect(0, 0, 20, 20), clWhite));
  PaintBevel(bevel, canvas, Rect(0, 0, 20, 20), false);
  EXPECT_TRUE(AreaIs(bitmap, Rect(0, 0, 20, 2), clRed));
  EXPECT_TRUE(AreaIs(bitmap, Rect(2, 2, 18, 18), clWhite));
}

TEST_F(FxDrawTest, FillsPaintByStyle) {
  Paper(10, 10);
  TFxFillObject fill;
  EXPECT_FALSE(PaintFill(fill, canvas, Rect(0, 0, 10, 10), clBlack));  // sfNone
  fill.SetStyle(sfBitmap);
  EXPECT_FALSE(PaintFill(fill, canvas, Rect(0, 0, 10, 10), clBlack)) << "empty picture";
  EXPECT_TRUE(AreaIs(bitmap, Rect(0, 0, 10, 10), clWhite));
  fill.SetStyle(sfBrush);
  fill.Brush()->SetColor(clLime);
  EXPECT_TRUE(PaintFill(fill, canvas, Rect(2, 2, 5, 5), clBlack));
  EXPECT_TRUE(AreaIs(bitmap, Rect(2, 2, 5, 5), clLime));
  EXPECT_EQ(CountPixels(bitmap, Rect(0, 0, 10, 10), [](TColor c) { return c == clLime; }), 9);
  EXPECT_FALSE(canvas.HasClip()) << "the fill's clip is removed";
  TBitmap tile(2, 2);
  tile.Canvas()->Brush()->SetColor(clRed);
  tile.Canvas()->FillRect(Rect(0, 0, 1, 1));
  fill.SetBitmap(&tile);
  fill.SetStyle(sfBitmap);
  EXPECT_TRUE(PaintFill(fill, canvas, Rect(0, 0, 5, 5), clBlack));
  EXPECT_TRUE(PixelIs(bitmap, 4, 4, clRed));
  EXPECT_TRUE(PixelIs(bitmap, 5, 5, clWhite)) << "clipped to the rectangle";
}

class CaptionTest : public FxDrawTest {
 protected:
  void SetUp() override {
    Paper(100, 20);
    canvas.Font()->SetColor(clBlack);
  }
  TRect Ink() { return InkBounds(bitmap, Rect(0, 0, 100, 20), [](TColor c) { return c != clWhite; }); }
  const unsigned flags = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
};

TEST_F(CaptionTest, ClippingIsToTheClipRectangleOrTheTarget) {
  const TRect empty = Rect(10, 0, 10, 20);
  DrawCaption3D(canvas, "Testo", nullptr, &empty, true, true, flags, Rect(0, 0, 100, 20));
  EXPECT_TRUE(Ink().IsEmpty());
  EXPECT_FALSE(canvas.HasClip());
  DrawCaption3D(canvas, "Testo lungo", nullptr, nullptr, true, true, flags | DT_NOCLIP, Rect(0, 0, 12, 20));
  EXPECT_LE(Ink().Right, 12);
  EXPECT_FALSE(Ink().IsEmpty());
  DrawCaption3D(canvas, "", nullptr, nullptr, false, true, flags, Rect(0, 0, 100, 20));
  DrawCaption3D(canvas, "x", nullptr, nullptr, false, true, flags, Rect(0, 0, 0, 20));
  EXPECT_LE(Ink().Right, 12) << "empty text or target draws nothing";
}

TEST_F(CaptionTest, DisabledTextIsGreyAndTracingSpreadsIt) {
  TFx3DCaption settings;
  canvas.Brush()->SetStyle(bsSolid);
  DrawCaption3D(canvas, "Grigio", &settings, nullptr, false, false, flags, Rect(0, 0, 100, 20));
  EXPECT_GT(CountPixels(bitmap, Rect(0, 0, 100, 20), [](TColor c) { return c == ColorToRGB(clGrayText); }), 10);
  EXPECT_EQ(CountPixels(bitmap, Rect(0, 0, 100, 20), [](TColor c) { return c == clBlack; }), 0);
  EXPECT_EQ(canvas.Font()->Color(), clBlack) << "the canvas keeps its font colour";
  EXPECT_EQ(canvas.Brush()->Style(), bsSolid) << "and its brush";
  const int plain = Ink().Width();
  Paper(100, 20);
  settings.SetTracing(2);
  DrawCaption3D(canvas, "Grigio", &settings, nullptr, false, true, flags, Rect(0, 0, 100, 20));
  EXPECT_EQ(Ink().Width(), plain + 2 * 5);
}

TEST(AlignmentTextFlags, NineAlignmentsAndTheFixedFlags) {
  const unsigned fixed = DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX;
  EXPECT_EQ(AlignmentTextFlags(agTopLeft), DT_LEFT | DT_TOP | fixed);
  EXPECT_EQ(AlignmentTextFlags(agCenterLeft), DT_LEFT | DT_VCENTER | fixed);
  EXPECT_EQ(AlignmentTextFlags(agCenter), DT_CENTER | DT_VCENTER | fixed);
  EXPECT_EQ(AlignmentTextFlags(agBottomRight), DT_RIGHT | DT_BOTTOM | fixed);
  EXPECT_EQ(AlignmentTextFlags(agTopCenter), DT_CENTER | DT_TOP | fixed);
}

}  // namespace
