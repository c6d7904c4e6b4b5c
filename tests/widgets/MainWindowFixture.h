// The bottom of the main window off-screen: a 592 x 256 white host (the
// window's client area and font) with the progress bar and the status bar
// as the window stores them, created inside a loading bracket as the stored
// form does, then painted once.
#pragma once

#include "tests/support/Pixels.h"
#include "widgets/FxProgressFill.h"
#include "widgets/FxStatusBar.h"
#include "widgets/MainWindowWidgets.h"

namespace testsupport {

// The widgets with their paints counted.
class TCountedProgressFill : public TFxProgressFill {
 public:
  using TFxProgressFill::TFxProgressFill;
  int paints = 0;
  int bars = 0;  // DrawBar calls: bar updates that drew

 protected:
  void Paint() override {
    ++paints;
    TFxProgressFill::Paint();
  }
  void DrawBar(TCanvas& canvas, const TRect& filled, const TRect& rest, const TRect& full) override {
    ++bars;
    TFxProgressFill::DrawBar(canvas, filled, rest, full);
  }
};

class TCountedStatusBar : public TFxStatusBar {
 public:
  using TFxStatusBar::TFxStatusBar;
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    TFxStatusBar::Paint();
  }
};

class MainWindowTest : public PaintTest {
 protected:
  void SetUp() override {
    host.BeginLoading();
    bar = new TCountedProgressFill(&host);
    bar->SetParent(&host);
    ApplyMainWindowSettings(*bar);
    status = new TCountedStatusBar(&host);
    status->SetParent(&host);
    ApplyMainWindowSettings(*status);
    host.EndLoading();
    host.Update();
    Show(host.Surface());
  }

  TBitmap& Surface() { return *host.Surface(); }
  TFxStatusPanel& Panel0() { return (*status->Panels())[0]; }

  Host host;
  TCountedProgressFill* bar = nullptr;
  TCountedStatusBar* status = nullptr;
};

}  // namespace testsupport
