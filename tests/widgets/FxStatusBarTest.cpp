#include "widgets/FxStatusBar.h"

#include "tests/widgets/MainWindowFixture.h"

#include <gtest/gtest.h>

namespace {

using testsupport::AreaIs;
using testsupport::CountPixels;
using testsupport::InkBounds;
using testsupport::SamePixels;

// The status bar lies at (0, 234) on the host, 592 x 22.
const TRect kStatus = Rect(0, 234, 592, 256);

bool isNavyInk(TColor c) { return c != ColorToRGB(clBtnFace); }

class StatusBarTest : public testsupport::MainWindowTest {
 protected:
  TRect Ink() { return InkBounds(Surface(), kStatus, isNavyInk); }
};

TEST_F(StatusBarTest, TheOnePanelSpansFromItsGapToTheRightEdge) {
  EXPECT_EQ(status->BoundsRect(), kStatus);
  EXPECT_EQ(status->PanelsRect(), Rect(0, 0, 592, 22));
  EXPECT_TRUE(AreaIs(Surface(), kStatus, clBtnFace)) << "an empty text, no frames";
  Panel0().SetText(" Connesso");
  const TRect ink = Ink();
  EXPECT_GE(ink.Left, 3) << "the first three columns are plain background";
  EXPECT_LT(ink.Left, 3 + 8) << "left-aligned after the text's own blank";
  // Vertically centred in the bar: the 16-pixel cell of "Tahoma" -13.
  EXPECT_GE(ink.Top, 234 + 3);
  EXPECT_LE(ink.Bottom, 234 + 3 + 16);
  EXPECT_GT(CountPixels(Surface(), kStatus, [](TColor c) { return c == clNavy; }), 10) << "navy text";
}

TEST_F(StatusBarTest, SettingTheSameTextAgainDrawsNothing) {
  const int paints = status->paints;
  host.surfaceChanges = 0;
  Panel0().SetText(" Disconnesso");
  EXPECT_EQ(status->paints, paints + 1) << "the last panel repaints the whole bar at once";
  EXPECT_GT(host.surfaceChanges, 0) << "without the paint cycle";
  const int changes = host.surfaceChanges;
  Panel0().SetText(" Disconnesso");
  EXPECT_EQ(status->paints, paints + 1);
  EXPECT_EQ(host.surfaceChanges, changes);
}

TEST_F(StatusBarTest, ANewTextReplacesTheOldOne) {
  Panel0().SetText(" 12.288 Bytes di 1.048.576 Ricevuti");
  const TRect longText = Ink();
  Panel0().SetText(" Fine");
  EXPECT_LT(Ink().Right, longText.Right - 100);
}

TEST_F(StatusBarTest, PanelOneOfAOnePanelBarIsAListIndexError) {
  Panel0().SetText(" Connesso");
  const int paints = status->paints;
  try {
    (*status->Panels())[1].SetText(" 0 Bytes di 0 Trasferiti");
    FAIL() << "panel 1 was found";
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (1)");
  }
  EXPECT_EQ(status->Panels()->Count(), 1);
  EXPECT_EQ(Panel0().Text(), " Connesso");
  EXPECT_EQ(status->paints, paints);
  EXPECT_THROW(status->Panels()->Items(-1), EListError);
}

TEST_F(StatusBarTest, AmpersandsAndLineBreaksAreDrawnAsTheyAre) {
  // Drawn as itself, an ampersand takes room: "A&B" is wider than "AB".
  Panel0().SetText(" A&B");
  const int withAmpersand = Ink().Width();
  Panel0().SetText(" AB");
  EXPECT_GT(withAmpersand, Ink().Width() + 3);
  // A line break stays on the one line and draws as nothing.
  Panel0().SetText(" Riga\r\nDue");
  TBitmap broken;
  broken.Assign(&Surface());
  Panel0().SetText(" RigaDue");
  EXPECT_TRUE(SamePixels(broken, Surface(), kStatus));
}

TEST_F(StatusBarTest, WithoutAutoSizeAZeroWidthPanelShowsNothing) {
  Panel0().SetText(" Connesso");
  status->SetAutoSizeLastPanel(false);
  host.Update();
  EXPECT_TRUE(AreaIs(Surface(), kStatus, clBtnFace));
}

TEST_F(StatusBarTest, TheOldStyleDrawsNoPanels) {
  status->SetOldStyle(true);
  host.Update();
  const int paints = status->paints;
  Panel0().SetText(" Connesso");
  EXPECT_EQ(status->paints, paints);
  EXPECT_TRUE(AreaIs(Surface(), kStatus, clBtnFace));
}

// A bar of three panels on a host of its own, their frames removed so that
// the owner-drawn rectangles are the panel rectangles.
class ThreePanelTest : public testsupport::PaintTest {
 protected:
  void SetUp() override {
    bar = new testsupport::TCountedStatusBar(&host);
    bar->SetParent(&host);
    bar->SetHeight(22);
    bar->SetOldStyle(false);
    bar->SetSizeGrip(false);
    bar->OnOwnerDrawPanel = [this](TObject*, int index, const TRect& r, TCanvas* canvas) {
      drawn.push_back({index, r});
      canvas->Brush()->SetColor(clRed);
      canvas->FillRect(r);
    };
    for (int i = 0; i < 3; ++i) {
      TFxStatusPanel& p = *bar->Panels()->Add();
      p.Bevel()->SetStandardStyle(lsNone);
      p.SetStyle(spOwnerDraw);
    }
    host.Update();
    drawn.clear();
    Show(host.Surface());
  }
  testsupport::Host host{592, 22};
  testsupport::TCountedStatusBar* bar = nullptr;
  std::vector<std::pair<int, TRect>> drawn;
};

TEST_F(ThreePanelTest, PanelsFollowTheirGapsAndTheLastStretches) {
  bar->Repaint();
  ASSERT_EQ(drawn.size(), 3u);
  EXPECT_EQ(drawn[0].second, Rect(3, 0, 53, 22));
  EXPECT_EQ(drawn[1].second, Rect(56, 0, 106, 22));
  EXPECT_EQ(drawn[2].second, Rect(109, 0, 592, 22));
  EXPECT_TRUE(AreaIs(*host.Surface(), Rect(53, 0, 56, 22), clBtnFace));
}

TEST_F(ThreePanelTest, ALastPanelPastTheEdgeKeepsItsWidth) {
  (*bar->Panels())[2].SetSize(600);
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn.back().second, Rect(109, 0, 709, 22));
}

TEST_F(ThreePanelTest, AChangeOfOnePanelRedrawsThatPanelOnly) {
  const int paints = bar->paints;
  (*bar->Panels())[1].SetAlignment(agCenter);
  EXPECT_EQ(bar->paints, paints) << "a middle panel is redrawn in place";
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0], (std::pair<int, TRect>{1, Rect(56, 0, 106, 22)}));
  (*bar->Panels())[0].SetSize(40);  // moves the others: the whole bar, through the cycle
  EXPECT_EQ(bar->paints, paints + 1);
  EXPECT_EQ(drawn.back().second, Rect(99, 0, 592, 22));
}

TEST_F(ThreePanelTest, FramesAreDrawnAroundEachPanel) {
  for (int i = 0; i < 3; ++i) (*bar->Panels())[i].Bevel()->SetStandardStyle(lsSingleLowered);
  bar->Repaint();
  EXPECT_EQ(drawn[0].second, Rect(4, 1, 52, 21));
  TBitmap& s = *host.Surface();
  EXPECT_TRUE(AreaIs(s, Rect(3, 0, 4, 22), clBtnShadow));
  EXPECT_TRUE(AreaIs(s, Rect(52, 0, 53, 21), clBtnHighlight));
}

TEST_F(ThreePanelTest, TheSizeGripBelongsToAFormThatIsNotMaximised) {
  struct TForm : testsupport::Host {
    TForm() : Host(200, 30) {}
    bool IsForm() const override { return true; }
    bool IsMaximized() const override { return maximized; }
    bool maximized = false;
  } form;
  auto* grip = new TFxStatusBar(&form);
  grip->SetParent(&form);
  grip->SetOldStyle(false);
  form.Update();
  auto shadow = [](TColor c) { return c == ColorToRGB(clBtnShadow); };
  const TRect corner = Rect(187, 11, 200, 30);
  EXPECT_GT(CountPixels(*form.Surface(), corner, shadow), 10);
  EXPECT_EQ(CountPixels(*form.Surface(), Rect(0, 11, 187, 30), shadow), 0);
  form.maximized = true;
  grip->Repaint();
  EXPECT_EQ(CountPixels(*form.Surface(), corner, shadow), 0);
  // On a host that is not a form the new style draws no grip.
  bar->SetSizeGrip(true);
  bar->Repaint();
  EXPECT_EQ(CountPixels(*host.Surface(), Rect(579, 0, 592, 22), shadow), 0);
}

TEST_F(ThreePanelTest, PanelHostsAChildControlWhileItsStyleSaysSo) {
  TFxStatusPanel& panel = (*bar->Panels())[1];
  panel.SetStyle(spPanel);
  TFxStatusCustomPanel* child = panel.Control();
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->Parent(), bar);
  EXPECT_EQ(panel.BarPanelId(), child->BarPanelId());
  bar->Repaint();
  EXPECT_TRUE(child->Visible());
  EXPECT_EQ(child->BoundsRect(), Rect(56, 0, 106, 22));
  delete child;  // the panel forgets it
  EXPECT_EQ(panel.Control(), nullptr);
  EXPECT_EQ(panel.Style(), spText);
  panel.SetStyle(spPanel);
  panel.SetStyle(spOwnerDraw);  // leaving spPanel frees the control
  EXPECT_EQ(panel.Control(), nullptr);
  EXPECT_EQ(bar->ControlCount(), 0);
}

TEST_F(ThreePanelTest, APressGoesToThePanelUnderIt) {
  std::vector<int> clicked;
  bar->OnPanelClick = [&](TObject*, int index) { clicked.push_back(index); };
  bar->LeftButtonDown(10);
  bar->LeftButtonDown(60);
  bar->LeftButtonDown(500);
  EXPECT_EQ(clicked, (std::vector<int>{0, 1, 2}));
}

}  // namespace
