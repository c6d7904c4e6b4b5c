#include "widgets/MainWindowWidgets.h"

#include "widgets/FxProgressFill.h"
#include "widgets/FxStatusBar.h"

namespace {

void boldTahoma(TFont& font, int height, TColor color) {
  font.SetName("Tahoma");
  font.SetHeight(height);
  font.SetStyle(TFontStyles{fsBold});
  font.SetColor(color);
  font.SetCharset(kAnsiCharset);
}

}  // namespace

void ApplyMainWindowSettings(TFxProgressFill& bar) {
  bar.SetBounds(0, 214, 592, 20);
  bar.SetAlign(alBottom);
  TFxBevel& bevel = *bar.Bevel();
  bevel.SetStyleOuter(bvLowered);
  bevel.SetMode(bmCustom);
  TFxFillObject& fill = *bar.FillObject();
  fill.SetStyle(sfGradient);
  fill.Gradient()->SetColorCount(236);
  fill.Gradient()->SetStyle(gstHorizontal);
  bar.SetOptionsText(toPercent);
  bar.SetStep(1);
  bar.SetPosition(0);
}

void ApplyMainWindowSettings(TFxStatusBar& bar) {
  bar.SetBounds(0, 234, 592, 22);
  bar.SetAlign(alBottom);
  bar.SetSizeGrip(false);
  bar.SetOldStyle(false);
  bar.SetControlGap(3);
  bar.Bevel()->SetMode(bmCustom);
  boldTahoma(*bar.Font(), -12, clBlack);
  bar.SetParentFont(false);

  TFxStatusPanels& panels = *bar.Panels();
  panels.BeginUpdate();
  panels.Clear();
  TFxStatusPanel& panel = *panels.Add();
  panel.SetAlignment(agCenterLeft);
  TFxBevel& bevel = *panel.Bevel();
  bevel.SetStyleInner(bvRaised);
  bevel.SetStyleOuter(bvRaised);
  bevel.SetWidthInner(0);
  bevel.SetWidthOuter(0);
  bevel.SetMode(bmStandard);
  bevel.SetStandardStyle(lsNone);
  panel.SetStyle(spText);
  panel.SetSize(0);
  boldTahoma(*panel.Font(), -13, clNavy);
  panel.SetDisplayName("TFxStatusPanel");
  panel.SetBarPanelId(2);
  panels.EndUpdate();
}
