#include "widgets/FxControls.h"

#include "widgets/FxDraw.h"

TFxGraphicControl::TFxGraphicControl(TComponent* owner) : TGraphicControl(owner) {
  bevel_.OnChange = TNotifyEvent(this, &TFxGraphicControl::SettingsChanged);
}

TFxGraphicControl::~TFxGraphicControl() { bevel_.OnChange = nullptr; }

void TFxGraphicControl::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  SetOpaque(!value);
  Redraw();
}

void TFxGraphicControl::Redraw() {
  if (transparent_ || Designing()) Invalidate();
  else Paint();
}

void TFxGraphicControl::SettingsChanged(TObject*) { Redraw(); }

TFxCustomBevelPanel::TFxCustomBevelPanel(TComponent* owner) : TCustomControl(owner) {
  bevel_.SetSystemBorder(true);
  bevel_.OnChange = TNotifyEvent(this, &TFxCustomBevelPanel::SettingsChanged);
}

TFxCustomBevelPanel::~TFxCustomBevelPanel() { bevel_.OnChange = nullptr; }

void TFxCustomBevelPanel::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  SetOpaque(!value);
  Invalidate();
}

void TFxCustomBevelPanel::PaintBackground(TCanvas& canvas) {
  if (transparent_) return;
  canvas.Brush()->SetStyle(bsSolid);
  canvas.Brush()->SetColor(Color());
  canvas.FillRect(ClientRect());
}

void TFxCustomBevelPanel::SettingsChanged(TObject* sender) {
  if (sender == &bevel_) Realign();
  Invalidate();
}

void TFxCustomBevelPanel::AdjustClientRect(TRect& rect) const {
  rect = Rect(rect.Left + bevel_.BevelExtent(), rect.Top + bevel_.BevelExtent(), rect.Right - bevel_.FarExtent(),
              rect.Bottom - bevel_.FarExtent());
}

void TFxCustomBevelPanel::Paint() {
  PaintBackground(*Canvas());
  PaintBevel(bevel_, *Canvas(), ClientRect(), transparent_);
}
