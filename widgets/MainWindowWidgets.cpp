#include "widgets/MainWindowWidgets.h"

#include "widgets/FxProgressFill.h"
#include "widgets/FxStatusBar.h"

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
  TFont& font = *bar.Font();
  font.SetName("Tahoma");
  font.SetHeight(-12);
  font.SetStyle(TFontStyles{fsBold});
  font.SetColor(clBlack);
  font.SetCharset(kAnsiCharset);
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
  TFont& panelFont = *panel.Font();
  panelFont.SetName("Tahoma");
  panelFont.SetHeight(-13);
  panelFont.SetStyle(TFontStyles{fsBold});
  panelFont.SetColor(clNavy);
  panelFont.SetCharset(kAnsiCharset);
  panel.SetDisplayName("TFxStatusPanel");
  panel.SetBarPanelId(2);
  panels.EndUpdate();
}
