#include "classlib/StdCtrls.h"

#include "tests/support/Pixels.h"

#include <gtest/gtest.h>

namespace {

using testsupport::AreaIs;
using testsupport::Host;
using testsupport::InkBounds;

bool Ink(TColor c) { return c != ColorToRGB(clWhite); }

class MemoTest : public testsupport::PaintTest {
 protected:
  void SetUp() override {
    memo = new TMemo(&host);
    memo->SetParent(&host);
    memo->SetBounds(10, 10, 120, 60);
    memo->SetBorderStyle(bsNone);
    memo->SetColor(clWhite);
    host.Update();
    Show(host.Surface());
  }
  TBitmap& Surface() { return *host.Surface(); }
  Host host{200, 100};
  TMemo* memo = nullptr;
};

TEST_F(MemoTest, LinesAreDrawnOneUnderTheOtherInsideTheMargins) {
  memo->Lines()->Add("Attenzione:");
  memo->Lines()->Add("");
  memo->Lines()->Add("legge");
  EXPECT_EQ(host.InvalidArea(), memo->BoundsRect());
  host.Update();
  const TRect first = InkBounds(Surface(), Rect(10, 10, 130, 23), Ink);
  EXPECT_GE(first.Left, 12) << "two pixels of margin";
  EXPECT_LE(first.Left, 13);
  EXPECT_TRUE(AreaIs(Surface(), Rect(10, 23, 130, 36), clWhite)) << "the empty second line";
  EXPECT_FALSE(InkBounds(Surface(), Rect(10, 36, 130, 49), Ink).IsEmpty());
  EXPECT_TRUE(AreaIs(Surface(), Rect(10, 49, 130, 70), clWhite));
}

TEST_F(MemoTest, LongLinesWrapAtSpacesAndStopAtTheBottom) {
  memo->Lines()->Add("uno due tre quattro cinque sei sette otto nove dieci undici dodici tredici");
  host.Update();
  const int lineHeight = memo->Canvas()->TextHeight("Wg");
  int lines = 0;
  for (int top = 10; top + lineHeight <= 70; top += lineHeight) {
    const TRect ink = InkBounds(Surface(), Rect(10, top, 130, top + lineHeight), Ink);
    if (ink.IsEmpty()) break;
    EXPECT_LE(ink.Right, 128) << "inside the right margin";
    ++lines;
  }
  EXPECT_EQ(lines, 60 / lineHeight) << "the memo fills with wrapped lines";
  EXPECT_TRUE(AreaIs(Surface(), Rect(130, 0, 200, 100), clWhite)) << "nothing outside the memo";
  memo->SetWordWrap(false);
  host.Update();
  EXPECT_TRUE(AreaIs(Surface(), Rect(10, 10 + lineHeight, 130, 70), clWhite));
}

TEST_F(MemoTest, ASunkenBorderFramesTheText) {
  memo->SetBorderStyle(bsSingle);
  memo->Lines()->Add("W");
  host.Update();
  EXPECT_EQ(Surface().PixelColor(10, 30), ColorToRGB(clBtnShadow));
  EXPECT_GE(InkBounds(Surface(), Rect(12, 12, 128, 68), [](TColor c) { return c == 0; }).Left, 14);
}

}  // namespace
