// render-widgets [--zoom N] [folder]: paints the main window's progress bar and status
// bar in a few states, and a sheet of bevel, border and gradient styles, into
// PNG files in folder (default: the current directory), for people to look
// at what the widgets draw, each pixel as N x N pixels with --zoom. Prints
// the files it wrote.
#include "classlib/Controls.h"
#include "platform/Observe.h"
#include "widgets/FxDraw.h"
#include "widgets/FxProgressFill.h"
#include "widgets/FxStatusBar.h"
#include "widgets/MainWindowWidgets.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string gFolder = ".";
int gZoom = 1;

bool save(TBitmap& surface, const TRect& area, const std::string& name) {
  TBitmap crop(area.Width() * gZoom, area.Height() * gZoom);
  crop.Canvas()->CopyRect(Rect(0, 0, crop.Width(), crop.Height()), *surface.Canvas(), area);
  const std::string path = gFolder + "/" + name;
  if (!observe::writePng(path, crop.Width(), crop.Height(), crop.Bits())) {
    std::fprintf(stderr, "render-widgets: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("%s\n", path.c_str());
  return true;
}

// The bottom of the main window: the progress bar above the status bar.
bool renderMainWindow() {
  TWinControl window(nullptr);
  window.SetBounds(0, 0, 592, 256);
  window.SetColor(clWhite);
  auto* bar = new TFxProgressFill(&window);
  ApplyMainWindowSettings(*bar);
  bar->SetParent(&window);
  auto* status = new TFxStatusBar(&window);
  ApplyMainWindowSettings(*status);
  status->SetParent(&window);
  window.Repaint();
  TBitmap& surface = *window.Surface();
  const TRect bottom = Rect(0, 210, 592, 256);
  bool ok = true;
  struct State {
    int percent;
    const char* text;
  };
  const State states[] = {
      {0, " Connessione in Corso ....."},
      {10, " Inizio Trasnsazione"},
      {42, " 12.288 Bytes di 1.048.576 Ricevuti"},
      {50, " Ricevuti & salvati\tcon tab"},
      {100, " Fine Trasnsazione"},
  };
  for (const State& s : states) {
    bar->SetPosition(s.percent);
    (*status->Panels())[0].SetText(s.text);
    ok &= save(surface, bottom, "main-window-" + std::to_string(s.percent) + ".png");
  }
  return ok;
}

// Three framed panels, owner-drawn middle one, size grip of a form.
bool renderStatusVariants() {
  struct TForm : TWinControl {
    using TWinControl::TWinControl;
    bool IsForm() const override { return true; }
  } form(nullptr);
  form.SetBounds(0, 0, 400, 24);
  auto* status = new TFxStatusBar(&form);
  status->SetParent(&form);
  status->SetOldStyle(false);
  status->SetHeight(24);
  status->Bevel()->SetStyleOuter(bvRaised);
  TFxStatusPanels& panels = *status->Panels();
  const char* texts[] = {"Left", "Centre", "Right aligned"};
  const TFxAlignment alignments[] = {agCenterLeft, agCenter, agCenterRight};
  for (int i = 0; i < 3; ++i) {
    TFxStatusPanel& p = *panels.Add();
    p.SetSize(120);
    p.SetText(texts[i]);
    p.SetAlignment(alignments[i]);
  }
  form.Repaint();
  return save(*form.Surface(), Rect(0, 0, 400, 24), "status-panels.png");
}

// Bevel styles of widths 1 and 3, the border styles and the gradient styles.
bool renderStyleSheet() {
  TBitmap sheet(640, 330);
  TCanvas& c = *sheet.Canvas();
  c.Brush()->SetColor(clBtnFace);
  c.FillRect(Rect(0, 0, 640, 330));
  const TFxBevelStyle bevels[] = {bvLowered, bvRaised, bvFrameLowered, bvFrameRaised, bvNormal};
  for (int i = 0; i < 5; ++i)
    for (int w = 1; w <= 3; w += 2) {
      TRect r = Bounds(10 + i * 60, w == 1 ? 10 : 70, 50, 50);
      DrawBevelStyle(c, r, bevels[i], w, clBtnShadow, clBtnHighlight);
    }
  for (int s = 1; s <= lsDoubleLowered; ++s) {
    TRect r = Bounds(10 + (s - 1) % 7 * 45, 140 + (s - 1) / 7 * 45, 40, 40);
    DrawBorderStyle(c, r, static_cast<TFxBorderStyle>(s));
  }
  TFxGradient gradient;
  gradient.SetColorCount(64);
  gradient.SetEndColor(clWhite);
  for (int g = gstHorizontal; g <= gstTopRightDiagonal; ++g)
    FillGradient(c, Bounds(330 + g % 5 * 60, 10 + g / 5 * 60, 55, 55), static_cast<TFxGradientStyle>(g), true, false,
                 gradient.ColorList());
  c.Font()->SetName("Tahoma");
  c.Font()->SetHeight(-13);
  c.Font()->SetColor(clNavy);
  TFx3DCaption caption;
  const TFxThreeDStyle styles[] = {tdRaised, tdSunken, tdShadow, tdOutline, tdExtrude};
  for (int i = 0; i < 5; ++i) {
    caption.SetStyle(styles[i]);
    DrawCaption3D(c, "3D text", &caption, nullptr, false, true, AlignmentTextFlags(agCenter),
                  Bounds(330 + i * 60, 150, 60, 30));
  }
  DrawCaption3D(c, "Disabled", &caption, nullptr, false, false, AlignmentTextFlags(agCenterLeft),
                Bounds(330, 190, 100, 30));
  return save(sheet, Rect(0, 0, 640, 330), "styles.png");
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--zoom" && i + 1 < argc) gZoom = std::max(1, std::atoi(argv[++i]));
    else gFolder = arg;
  }
  bool ok = renderMainWindow();
  ok &= renderStatusVariants();
  ok &= renderStyleSheet();
  return ok ? 0 : 1;
}
