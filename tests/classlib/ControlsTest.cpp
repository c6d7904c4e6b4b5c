#include "classlib/Controls.h"

#include "tests/support/Pixels.h"

#include <gtest/gtest.h>

namespace {

using testsupport::AreaIs;
using testsupport::Host;
using testsupport::PixelIs;

// A graphic control that fills its client area and one pixel beyond, and
// counts its paints.
class TSwatch : public TGraphicControl {
 public:
  explicit TSwatch(TComponent* owner, TColor ink = clRed) : TGraphicControl(owner), ink_(ink) {}
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    Canvas()->Brush()->SetColor(ink_);
    Canvas()->FillRect(InflateRect(ClientRect(), 1, 1));
  }

 private:
  TColor ink_;
};

class ControlsTest : public testsupport::PaintTest {
 protected:
  void SetUp() override { Show(host.Surface()); }
  Host host{100, 60};
};

TEST_F(ControlsTest, AlignedChildrenShareTheClientAreaInOrder) {
  auto* top = new TControl(&host);
  top->SetBounds(0, 0, 10, 15);
  top->SetAlign(alTop);
  top->SetParent(&host);
  auto* lowest = new TControl(&host);
  lowest->SetBounds(0, 30, 10, 20);
  lowest->SetAlign(alBottom);
  lowest->SetParent(&host);
  auto* above = new TControl(&host);
  above->SetHeight(10);  // at the top of the parent: goes above the other
  above->SetAlign(alBottom);
  above->SetParent(&host);
  auto* client = new TControl(&host);
  client->SetAlign(alClient);
  client->SetParent(&host);
  EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 100, 15));
  EXPECT_EQ(lowest->BoundsRect(), Rect(0, 40, 100, 60));
  EXPECT_EQ(above->BoundsRect(), Rect(0, 30, 100, 40));
  EXPECT_EQ(client->BoundsRect(), Rect(0, 15, 100, 30));
  lowest->SetHeight(5);
  EXPECT_EQ(lowest->BoundsRect(), Rect(0, 55, 100, 60));
  EXPECT_EQ(above->BoundsRect(), Rect(0, 45, 100, 55));
  EXPECT_EQ(client->BoundsRect(), Rect(0, 15, 100, 45));
  host.SetBounds(0, 0, 80, 100);
  EXPECT_EQ(lowest->BoundsRect(), Rect(0, 95, 80, 100));
  above->Hide();
  EXPECT_EQ(client->BoundsRect(), Rect(0, 15, 80, 95));
  // A control moved below another goes under it.
  above->Show();
  above->SetTop(95);
  EXPECT_EQ(above->BoundsRect(), Rect(0, 90, 80, 100));
  EXPECT_EQ(lowest->BoundsRect(), Rect(0, 85, 80, 90));
}

TEST_F(ControlsTest, WhileLoadingTheStoredPositionsDecideTheOrder) {
  host.BeginLoading();
  auto* first = new TControl(&host);  // stored above the second one
  first->SetParent(&host);
  first->SetBounds(0, 20, 100, 20);
  first->SetAlign(alBottom);
  auto* second = new TControl(&host);
  second->SetParent(&host);
  second->SetBounds(0, 40, 100, 20);
  second->SetAlign(alBottom);
  host.EndLoading();
  EXPECT_EQ(second->BoundsRect(), Rect(0, 40, 100, 60));
  EXPECT_EQ(first->BoundsRect(), Rect(0, 20, 100, 40));
}

TEST_F(ControlsTest, ColourAndFontFollowTheParentUntilSetOwnValues) {
  auto* panel = new TWinControl(&host);
  panel->SetParentColor(true);
  panel->SetParent(&host);
  auto* child = new TControl(&host);
  child->SetParentColor(true);
  child->SetParent(panel);
  EXPECT_EQ(child->Color(), clWhite);
  host.SetColor(clNavy);
  EXPECT_EQ(child->Color(), clNavy);
  child->SetColor(clRed);
  EXPECT_FALSE(child->ParentColor());
  host.SetColor(clWhite);
  EXPECT_EQ(child->Color(), clRed);

  host.Font()->SetName("Tahoma");
  EXPECT_EQ(child->Font()->Name(), "Tahoma");
  child->Font()->SetHeight(-20);
  EXPECT_FALSE(child->ParentFont());
  host.Font()->SetName("MS Sans Serif");
  EXPECT_EQ(child->Font()->Name(), "Tahoma");
  child->SetParentFont(true);
  EXPECT_EQ(child->Font()->Height(), -11);
}

TEST_F(ControlsTest, ThePaintCycleErasesAndPaintsOnlyWhatWasMarked) {
  auto* swatch = new TSwatch(&host);
  swatch->SetBounds(10, 10, 20, 10);
  swatch->SetParent(&host);
  EXPECT_EQ(swatch->paints, 0) << "nothing paints before Update";
  host.Update();
  EXPECT_EQ(swatch->paints, 1);
  TBitmap& surface = *host.Surface();
  EXPECT_TRUE(AreaIs(surface, Rect(10, 10, 30, 20), clRed));
  EXPECT_TRUE(PixelIs(surface, 9, 9, clWhite)) << "the canvas is clipped to the control";
  EXPECT_TRUE(AreaIs(surface, Rect(30, 10, 100, 60), clWhite));
  EXPECT_EQ(host.surfaceChanges, 1);
  host.Update();
  EXPECT_EQ(swatch->paints, 1) << "nothing was marked";
  swatch->Repaint();
  EXPECT_EQ(swatch->paints, 2);
  swatch->Hide();
  host.Update();
  EXPECT_TRUE(AreaIs(surface, Rect(10, 10, 30, 20), clWhite));
  EXPECT_EQ(swatch->paints, 2);
}

TEST_F(ControlsTest, DrawingOutsideTheCycleReachesTheSurfaceAtOnce) {
  auto* panel = new TCustomControl(&host);
  panel->SetBounds(40, 20, 30, 30);
  panel->SetParent(&host);
  auto* swatch = new TSwatch(&host, clBlue);
  swatch->SetBounds(20, 20, 20, 20);  // half outside the panel
  swatch->SetParent(panel);
  host.Update();
  host.surfaceChanges = 0;
  host.changedArea = TRect{};
  swatch->Canvas()->Brush()->SetColor(clLime);
  swatch->Canvas()->FillRect(swatch->ClientRect());
  EXPECT_EQ(host.surfaceChanges, 1);
  EXPECT_EQ(host.changedArea, Rect(60, 40, 70, 50));
  EXPECT_TRUE(AreaIs(*host.Surface(), Rect(60, 40, 70, 50), clLime));
  EXPECT_TRUE(PixelIs(*host.Surface(), 70, 45, clWhite));
}

TEST_F(ControlsTest, AControlOutsideAHostDrawsNothing) {
  TSwatch loose(nullptr);
  loose.SetBounds(0, 0, 10, 10);
  loose.Canvas()->FillRect(Rect(0, 0, 10, 10));
  EXPECT_EQ(loose.Canvas()->Pixels(0, 0), kInvalidColor);
  loose.Repaint();
  EXPECT_EQ(loose.paints, 0);
}

TEST_F(ControlsTest, FreeingAParentFreesItsChildren) {
  auto* panel = new TWinControl(nullptr);
  auto* child = new TSwatch(nullptr);
  child->SetParent(panel);
  EXPECT_EQ(panel->ControlCount(), 1);
  panel->SetParent(&host);
  delete panel;  // frees the child too (no leak under the sanitizer build)
  EXPECT_EQ(host.ControlCount(), 0);
  EXPECT_THROW(host.Controls(0), EListError);
}

}  // namespace
