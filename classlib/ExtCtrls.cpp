#include "classlib/ExtCtrls.h"

#include "platform/Win32.h"

#include <algorithm>

// ------------------------------------------------------------------- TPanel

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
}

void TPanel::SetBevelOuter(TPanelBevel value) {
  if (value == bevelOuter_) return;
  bevelOuter_ = value;
  Realign();
  Invalidate();
}

void TPanel::SetBevelInner(TPanelBevel value) {
  if (value == bevelInner_) return;
  bevelInner_ = value;
  Realign();
  Invalidate();
}

void TPanel::SetBevelWidth(int value) {
  value = std::max(1, value);
  if (value == bevelWidth_) return;
  bevelWidth_ = value;
  Realign();
  Invalidate();
}

void TPanel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

namespace {

bool drawn(TPanelBevel bevel) { return bevel == bvLowered || bevel == bvRaised; }

}  // namespace

int TPanel::BevelSize() const { return (drawn(bevelOuter_) + drawn(bevelInner_)) * bevelWidth_; }

void TPanel::AdjustClientRect(TRect& rect) const {
  const int b = BevelSize();
  rect = InflateRect(rect, -b, -b);
}

void TPanel::Paint() {
  TCanvas& canvas = *Canvas();
  TRect r = ClientRect();
  for (TPanelBevel bevel : {bevelOuter_, bevelInner_}) {
    if (!drawn(bevel)) continue;
    const bool raised = bevel == bvRaised;
    canvas.Frame3D(r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, bevelWidth_);
  }
  canvas.SetFont(Font());
  canvas.Brush()->SetStyle(bsClear);
  unsigned flags = DT_VCENTER | DT_SINGLELINE;
  flags |= alignment_ == taCenter ? DT_CENTER : alignment_ == taRightJustify ? DT_RIGHT : DT_LEFT;
  if (!Enabled()) {
    // Disabled text is embossed: a highlight one pixel down-right, grey on top.
    canvas.Font()->SetColor(clBtnHighlight);
    canvas.DrawText(Caption(), OffsetRect(r, 1, 1), flags);
    canvas.Font()->SetColor(clBtnShadow);
  }
  canvas.DrawText(Caption(), r, flags);
  canvas.Brush()->SetStyle(bsSolid);
}

// ------------------------------------------------------------------- TImage

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 105, 105);
  picture_.OnChange = TNotifyEvent(this, &TImage::PictureChanged);
}

TImage::~TImage() { picture_.OnChange = nullptr; }

void TImage::SetStretch(bool value) {
  if (value == stretch_) return;
  stretch_ = value;
  Invalidate();
}

void TImage::SetCenter(bool value) {
  if (value == center_) return;
  center_ = value;
  Invalidate();
}

void TImage::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  if (TGraphic* g = picture_.Graphic()) g->SetTransparent(value);
  Invalidate();
}

void TImage::PictureChanged(TObject*) {
  if (TGraphic* g = picture_.Graphic(); g && g->Transparent() != transparent_) g->SetTransparent(transparent_);
  Invalidate();
}

void TImage::Paint() {
  TGraphic* graphic = picture_.Graphic();
  if (!graphic || graphic->Empty()) return;
  TRect dest = Bounds(0, 0, graphic->Width(), graphic->Height());
  if (stretch_) {
    dest = ClientRect();
  } else if (center_) {
    dest = OffsetRect(dest, (Width() - graphic->Width()) / 2, (Height() - graphic->Height()) / 2);
  }
  Canvas()->StretchDraw(dest, *graphic);
}
