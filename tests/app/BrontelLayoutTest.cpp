// The launcher's window as its stored description lays it out, shown.
#include "app/Brontel.h"
#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/StdCtrls.h"
#include "classlib/Timer.h"
#include "widgets/FxProgressFill.h"
#include "widgets/FxStatusBar.h"

#include "platform/Observe.h"
#include "platform/Win32.h"
#include "tests/support/Pixels.h"
#include "tests/support/RecordingWindow.h"

#include <gtest/gtest.h>

namespace {

using testsupport::AreaIs;
using testsupport::InkBounds;

bool NotWhite(TColor c) { return c != 0xFFFFFF; }

class BrontelLayoutTest : public testsupport::PaintTest {
 protected:
  void SetUp() override {
    form.TimerConnessione->SetEnabled(false);  // the window only, no run
    form.ShowMainWindow();
    testsupport::pumpPending();
    Show(form.Surface());
  }
  TBitmap& Surface() { return *form.Surface(); }
  TX_Brontel form{nullptr};
};

TEST_F(BrontelLayoutTest, ComponentsKeepTheirStoredPlacesAndStackingOrder) {
  ASSERT_EQ(form.ControlCount(), 5);
  EXPECT_EQ(form.Controls(0), form.X_Progressivo);
  EXPECT_EQ(form.Controls(1), form.Image2);
  EXPECT_EQ(form.Controls(2), form.ListaProdotti);
  EXPECT_EQ(form.Controls(3), form.Panel1);
  EXPECT_EQ(form.Controls(4), form.Help_Stato);
  EXPECT_EQ(form.Memo1->Parent(), form.Panel1);
  EXPECT_EQ(form.X_Progressivo->BoundsRect(), Bounds(0, 214, 592, 20));
  EXPECT_EQ(form.Image2->BoundsRect(), Bounds(401, 104, 180, 100));
  EXPECT_EQ(form.ListaProdotti->BoundsRect(), Bounds(0, 0, 592, 99));
  EXPECT_EQ(form.Panel1->BoundsRect(), Bounds(4, 103, 286, 107));
  EXPECT_EQ(form.Memo1->BoundsRect(), Bounds(5, 7, 273, 93));
  EXPECT_EQ(form.Help_Stato->BoundsRect(), Bounds(0, 234, 592, 22));
}

TEST_F(BrontelLayoutTest, TheWindowIsCaptionedCentredAndFixed) {
  observe::WindowView view;
  ASSERT_TRUE(observe::viewWindow(form.Handle(), view));
  EXPECT_EQ(view.title, "Cavenor S.R.L. Software Update");
  EXPECT_TRUE(view.visible);
  EXPECT_EQ(view.width, 592);
  EXPECT_EQ(view.height, 256);
  EXPECT_EQ(view.left, (GetSystemMetrics(SM_CXSCREEN) - 592) / 2);
  EXPECT_EQ(view.top, (GetSystemMetrics(SM_CYSCREEN) - 256) / 2);
  EXPECT_EQ(view.style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), WS_SYSMENU | WS_MINIMIZEBOX);
  EXPECT_EQ(view.iconWidth, 16);
  EXPECT_EQ(view.iconHeight, 16);
  ASSERT_EQ(view.pixels.size(), 592u * 256u);
  for (int y = 0; y < 256; y += 3)
    for (int x = 0; x < 592; x += 5)
      ASSERT_EQ(PixelToRGB(view.pixels[static_cast<std::size_t>(y * 592 + x)]), Surface().PixelColor(x, y))
          << x << ", " << y;
}

TEST_F(BrontelLayoutTest, WhatEachComponentShows) {
  // The list: header, the gear of row 0, empty rows, white below.
  EXPECT_EQ(Surface().PixelColor(100, 8), ColorToRGB(clBtnFace));
  EXPECT_FALSE(AreaIs(Surface(), Rect(2, 17, 18, 33), clWhite));
  EXPECT_TRUE(AreaIs(Surface(), Rect(0, 34, 592, 99), clWhite));
  // The white gap around panel and picture.
  EXPECT_TRUE(AreaIs(Surface(), Rect(0, 99, 592, 103), clWhite));
  EXPECT_TRUE(AreaIs(Surface(), Rect(290, 103, 401, 214), clWhite));
  // The notice: seven lines inside the memo, none outside it.
  const TRect memo = Bounds(9, 110, 273, 93);
  const TRect ink = InkBounds(Surface(), Rect(4, 103, 290, 210), NotWhite);
  EXPECT_EQ(IntersectRect(ink, memo), ink);
  EXPECT_LE(ink.Top, memo.Top + 3) << "text from the memo's top line";
  EXPECT_GE(ink.Bottom, memo.Top + 6 * 13 + 8);
  // The picture fills its box (the cubes stand on white).
  const TRect picture = InkBounds(Surface(), Bounds(401, 104, 180, 100), NotWhite);
  EXPECT_GT(picture.Width(), 120);
  EXPECT_GT(picture.Height(), 70);
  EXPECT_EQ(UnionRect(picture, Bounds(401, 104, 180, 100)), Bounds(401, 104, 180, 100));
  // The bar's lowered frame at 214, the status bar under it.
  EXPECT_EQ(Surface().PixelColor(100, 214), ColorToRGB(clBtnShadow));
  EXPECT_EQ(Surface().PixelColor(100, 233), ColorToRGB(clBtnHighlight));
}

TEST_F(BrontelLayoutTest, ARowChangeReachesTheWindowWithItsPaint) {
  // The pixels that are not white in an area of what the window shows.
  const auto inkIn = [&](const TRect& area) {
    observe::WindowView view;
    EXPECT_TRUE(observe::viewWindow(form.Handle(), view));
    if (view.pixels.size() != 592u * 256u) return -1;
    int ink = 0;
    for (int y = area.Top; y < area.Bottom; ++y)
      for (int x = area.Left; x < area.Right; ++x)
        ink += PixelToRGB(view.pixels[static_cast<std::size_t>(y * 592 + x)]) != 0xFFFFFF;
    return ink;
  };
  const TRect icon = Rect(2, 34, 18, 51);
  const TRect version = Rect(387, 34, 587, 51);
  EXPECT_EQ(inkIn(icon), 0);
  EXPECT_EQ(inkIn(version), 0);
  form.ListaProdotti->Items()->Item(1)->SetImageIndex(0);
  form.ListaProdotti->Items()->Item(1)->SubItems()->SetStrings(1, "7.3");
  testsupport::pumpPending();
  EXPECT_GT(inkIn(icon), 20) << "the check mark";
  EXPECT_GT(inkIn(version), 5);
}

}  // namespace
