#include "widgets/FxProgressFill.h"

#include "tests/widgets/MainWindowFixture.h"

#include <gtest/gtest.h>

namespace {

using testsupport::AreaIs;
using testsupport::CountPixels;
using testsupport::InkBounds;
using testsupport::PixelIs;

TEST(FilledLength, IsComputedInExtendedArithmeticAndCanFallOnePixelShort) {
  const std::pair<int, int> cases[] = {{0, 0},     {10, 58},   {20, 117}, {30, 176},  {40, 235},  {42, 247},
                                       {50, 295},  {60, 353},  {70, 413}, {80, 471},  {90, 531},  {100, 590}};
  for (auto [percent, pixels] : cases) EXPECT_EQ(FilledLength(percent, 590), pixels) << percent << " %";
  EXPECT_EQ(FilledLength(100, 0), 0);
  EXPECT_EQ(FilledLength(100, 7), 7);
}

// The bar lies at (0, 214) on the host; its inside at (1, 215), 590 x 18.
constexpr int kBarX = 1;
constexpr int kBarY = 215;
const TRect kBar = Rect(1, 215, 591, 233);

class ProgressFillTest : public testsupport::MainWindowTest {
 protected:
  std::vector<TColor> Ramp() { return bar->FillObject()->Gradient()->ColorList(); }
  // Pixels of the bar's text band (the rows the text can use).
  TRect TextBand(int left, int right) { return Rect(kBarX + left, kBarY + 2, kBarX + right, kBarY + 16); }
};

TEST_F(ProgressFillTest, TheMainWindowBarHasALoweredFrameAroundAnEmptyBar) {
  EXPECT_EQ(bar->BoundsRect(), Rect(0, 214, 592, 234));
  EXPECT_EQ(bar->BarRect(), Rect(1, 1, 591, 19));
  EXPECT_EQ(bar->Color(), clWhite) << "the window's colour";
  EXPECT_TRUE(AreaIs(Surface(), Rect(0, 214, 1, 234), clBtnShadow));
  EXPECT_TRUE(AreaIs(Surface(), Rect(0, 214, 591, 215), clBtnShadow));
  EXPECT_TRUE(AreaIs(Surface(), Rect(591, 214, 592, 233), clBtnHighlight));
  EXPECT_TRUE(AreaIs(Surface(), Rect(1, 233, 592, 234), clBtnHighlight));
  // 0 %: no fill, and the text entirely in the font colour.
  EXPECT_TRUE(AreaIs(Surface(), Rect(1, 215, 591, 216), clWhite));
  EXPECT_EQ(CountPixels(Surface(), kBar, [](TColor c) { return c != clWhite && c != clBlack; }), 0);
  EXPECT_GT(CountPixels(Surface(), kBar, [](TColor c) { return c == clBlack; }), 10);
}

TEST_F(ProgressFillTest, ThePercentageFillsItsShareOfTheBar) {
  const std::pair<int, int> cases[] = {{10, 58}, {20, 117}, {30, 176}, {40, 235}, {50, 295},
                                       {60, 353}, {70, 413}, {80, 471}, {90, 531}, {100, 590}};
  for (auto [percent, pixels] : cases) {
    bar->SetPosition(percent);
    EXPECT_FALSE(PixelIs(Surface(), kBarX + pixels - 1, kBarY, clWhite)) << percent << " %";
    if (pixels < 590) {
      EXPECT_TRUE(AreaIs(Surface(), Rect(kBarX + pixels, kBarY, 591, kBarY + 1), clWhite)) << percent;
    }
    // The whole ramp spans the filled part: it ends in (nearly) black at its
    // right end, however narrow the fill.
    const TColor end = Surface().PixelColor(kBarX + pixels - 1, kBarY + 17);
    EXPECT_TRUE((end & 0xFFFF) == 0 && (end >> 16) <= 2) << percent << " %: " << testsupport::ColorText(end);
  }
  bar->SetPosition(10);
  const std::vector<TColor> ramp = Ramp();
  EXPECT_TRUE(PixelIs(Surface(), kBarX, kBarY, ramp[2]));
  EXPECT_TRUE(PixelIs(Surface(), kBarX + 1, kBarY, ramp[6]));
}

TEST_F(ProgressFillTest, At42PercentTheTextIsCentredAndDarkBesideTheFill) {
  bar->SetPosition(42);
  TBitmap scratch(1, 1);
  scratch.Canvas()->SetFont(bar->Font());
  const int width = scratch.Canvas()->TextWidth("42%");
  const int left = (590 - width) / 2;
  const TRect ink = InkBounds(Surface(), TextBand(247, 590), [](TColor c) { return c == clBlack; });
  EXPECT_GE(ink.Left, kBarX + left);
  EXPECT_LE(ink.Right, kBarX + left + width);
  EXPECT_GE(ink.Width(), width - 3);
  EXPECT_EQ(CountPixels(Surface(), TextBand(0, 247), [](TColor c) { return c == clWhite; }), 0)
      << "the text lies beside the fill";
  EXPECT_TRUE(PixelIs(Surface(), kBarX + 246, kBarY, Ramp()[235]));
  EXPECT_TRUE(PixelIs(Surface(), kBarX + 247, kBarY, clWhite));
}

TEST_F(ProgressFillTest, ADigitCutByTheFillEdgeShowsBothColours) {
  bar->SetPosition(50);  // the fill ends at 295, the middle of the text
  EXPECT_GT(CountPixels(Surface(), TextBand(280, 295), [](TColor c) { return c == clWhite; }), 3);
  EXPECT_GT(CountPixels(Surface(), TextBand(295, 310), [](TColor c) { return c == clBlack; }), 3);
  EXPECT_EQ(CountPixels(Surface(), TextBand(295, 590), [](TColor c) { return c != clBlack && c != clWhite; }), 0);
}

TEST_F(ProgressFillTest, PositionChangesDrawTheBarAtOnceAndOnlyWhenTheyShow) {
  const int paints = bar->paints;
  const int bars = bar->bars;
  host.surfaceChanges = 0;
  host.changedArea = TRect{};
  bar->SetPosition(150);
  EXPECT_EQ(bar->Position(), 100);
  EXPECT_EQ(bar->UserValue(), 100);
  EXPECT_EQ(bar->bars, bars + 1);
  EXPECT_EQ(bar->paints, paints) << "the frame is not repainted";
  EXPECT_EQ(host.changedArea, kBar) << "drawn synchronously, without the paint cycle";
  bar->SetPosition(100);
  EXPECT_EQ(bar->bars, bars + 1);

  // A position that differs from the stored one but is what the bar shows
  // (changed while loading, when nothing draws) draws nothing.
  bar->BeginLoading();
  bar->SetPosition(30);
  bar->EndLoading();
  EXPECT_EQ(bar->LastPainted(), 100);
  bar->SetPosition(100);
  EXPECT_EQ(bar->bars, bars + 1);

  // 0 is always drawn: a full paint resets LastPainted and draws 0 %.
  bar->SetPosition(0);
  EXPECT_EQ(bar->bars, bars + 2);
  bar->Repaint();
  EXPECT_EQ(bar->bars, bars + 3);
  EXPECT_EQ(bar->paints, paints + 1);
}

TEST_F(ProgressFillTest, SettingsChangesRepaintTheWholeMeterAtOnce) {
  const int paints = bar->paints;
  bar->FillObject()->Gradient()->SetEndColor(clRed);
  EXPECT_EQ(bar->paints, paints + 1);
  bar->Bevel()->SetStyleOuter(bvRaised);
  EXPECT_EQ(bar->paints, paints + 2);
  EXPECT_TRUE(PixelIs(Surface(), 0, 214, clBtnHighlight));
  bar->SetStep(5);  // stored only
  EXPECT_EQ(bar->paints, paints + 2);
}

TEST_F(ProgressFillTest, AReverseBarGrowsFromTheRight) {
  bar->SetDirection(mdHorizontalReverse);
  bar->SetPosition(50);
  EXPECT_TRUE(PixelIs(Surface(), kBarX + 589, kBarY, clBlack));  // the ramp ends at the far end of the fill
  EXPECT_TRUE(PixelIs(Surface(), kBarX + 295, kBarY, clBlue));
  EXPECT_TRUE(PixelIs(Surface(), kBarX + 294, kBarY, clWhite));
}

TEST(TFxProgressFill, AControlTooSmallForABarPaintsBackgroundAndFrameOnly) {
  testsupport::Host host(100, 2);
  auto* bar = new testsupport::TCountedProgressFill(&host);
  bar->SetParent(&host);
  ApplyMainWindowSettings(*bar);
  bar->SetAlign(alNone);
  bar->SetBounds(0, 0, 100, 2);
  bar->SetPosition(50);
  bar->Repaint();
  EXPECT_TRUE(bar->BarRect().IsEmpty());
  EXPECT_EQ(CountPixels(*host.Surface(), Rect(0, 0, 100, 2),
                        [](TColor c) { return c != ColorToRGB(clBtnShadow) && c != ColorToRGB(clBtnHighlight); }),
            0);
}

TEST(TFxProgressFill, RangeAndValueConversions) {
  TFxProgressFill bar(nullptr);
  bar.SetPosition(37);
  EXPECT_EQ(bar.UserValue(), 37);
  bar.SetUserValue(64);
  EXPECT_EQ(bar.Position(), 64);
  bar.SetUserValue(101);  // outside the range: ignored
  EXPECT_EQ(bar.UserValue(), 64);
  bar.SetPosition(-5);
  EXPECT_EQ(bar.Position(), 0);

  bar.SetUserValue(42);
  bar.SetMaxValue(-50);  // below MinValue: the bounds swap round it
  EXPECT_EQ(bar.MinValue(), -50);
  EXPECT_EQ(bar.MaxValue(), 0);
  EXPECT_EQ(bar.UserValue(), 0) << "outside the new range: moved to the set bound";
  EXPECT_EQ(bar.Position(), 100);
  bar.SetMinValue(0);  // equal to MaxValue: ignored
  EXPECT_EQ(bar.MinValue(), -50);

  bar.SetMaxValue(8);
  bar.SetMinValue(0);
  EXPECT_EQ(bar.MinValue(), 0);
  EXPECT_EQ(bar.MaxValue(), 8);
  bar.SetUserValue(5);  // 62.5 %: ties go to the even percentage
  EXPECT_EQ(bar.Position(), 62);
  bar.SetUserValue(3);
  EXPECT_EQ(bar.Position(), 38);
  bar.SetMaxValue(1000);
  bar.SetPosition(42);
  EXPECT_EQ(bar.UserValue(), 420);
}

}  // namespace
