#include "widgets/FxStatusBar.h"

#include "widgets/FxDraw.h"

// ------------------------------------------------------ TFxStatusCustomPanel

TFxStatusCustomPanel::TFxStatusCustomPanel(TComponent* owner) : TFxCustomBevelPanel(owner) {}

TFxStatusCustomPanel::~TFxStatusCustomPanel() {
  if (panel_) {
    panel_->control_ = nullptr;
    panel_->style_ = spText;
  }
}

void TFxStatusCustomPanel::Loaded() {
  TFxCustomBevelPanel::Loaded();
  auto* bar = dynamic_cast<TFxStatusBar*>(Parent());
  if (!bar || barPanelId_ == 0) return;
  TFxStatusPanels& panels = *bar->Panels();
  for (int i = 0; i < panels.Count(); ++i) {
    TFxStatusPanel& panel = panels[i];
    if (panel.BarPanelId() != barPanelId_) continue;
    if (panel.control_ && panel.control_ != this) {
      TFxStatusCustomPanel* old = panel.control_;
      old->panel_ = nullptr;
      delete old;
    }
    panel.control_ = this;
    panel_ = &panel;
    return;
  }
}

// ------------------------------------------------------------ TFxStatusPanel

TFxStatusPanel::TFxStatusPanel(TCollection* collection) : TCollectionItem(collection) {
  bevel_.BeginUpdate();
  bevel_.SetMode(bmStandard);
  bevel_.SetStandardStyle(lsSingleLowered);
  bevel_.EndUpdate(false);
  bevel_.Changed();
  bevel_.OnChange = TNotifyEvent(this, &TFxStatusPanel::PartChanged);
  font_.OnChange = TNotifyEvent(this, &TFxStatusPanel::PartChanged);
  font3D_.OnChange = TNotifyEvent(this, &TFxStatusPanel::PartChanged);
}

TFxStatusPanel::~TFxStatusPanel() {
  bevel_.OnChange = nullptr;
  font_.OnChange = nullptr;
  font3D_.OnChange = nullptr;
  if (control_) {
    control_->panel_ = nullptr;
    delete control_;
  }
}

TFxStatusBar* TFxStatusPanel::Bar() const {
  auto* panels = dynamic_cast<TFxStatusPanels*>(Collection());
  return panels ? panels->Bar() : nullptr;
}

void TFxStatusPanel::SetAlignment(TFxAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Changed(false);
}

void TFxStatusPanel::SetText(const std::string& value) {
  if (value == text_) return;
  text_ = value;
  Changed(false);
}

void TFxStatusPanel::SetLeft(int value) {
  if (value == left_) return;
  left_ = value;
  Changed(true);
}

void TFxStatusPanel::SetSize(int value) {
  if (value == size_) return;
  size_ = value;
  Changed(true);
}

void TFxStatusPanel::SetStyle(TFxStatusPanelStyle value) {
  if (value == style_) return;
  if (style_ == spPanel && control_) {
    TFxStatusCustomPanel* control = control_;
    control_ = nullptr;
    control->panel_ = nullptr;
    delete control;
  }
  style_ = value;
  TFxStatusBar* bar = Bar();
  if (value == spPanel && bar && !bar->Loading()) {
    auto* control = new TFxStatusCustomPanel(bar);
    const int id = bar->ControlCount() + 1;
    control->SetVisible(false);
    control->SetParent(bar);
    control->SetBarPanelId(id);
    control->panel_ = this;
    control_ = control;
    barPanelId_ = id;
  }
  Changed(false);
}

void TFxStatusPanel::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TFxStatusPanel*>(source);
  if (!other) {
    TCollectionItem::Assign(source);
    return;
  }
  // One notice for the whole copy.
  bevel_.OnChange = nullptr;
  font_.OnChange = nullptr;
  font3D_.OnChange = nullptr;
  alignment_ = other->alignment_;
  bevel_.Assign(&other->bevel_);
  style_ = other->style_;
  text_ = other->text_;
  barPanelId_ = other->barPanelId_;
  left_ = other->left_;
  size_ = other->size_;
  font_.Assign(&other->font_);
  font3D_.Assign(&other->font3D_);
  bevel_.OnChange = TNotifyEvent(this, &TFxStatusPanel::PartChanged);
  font_.OnChange = TNotifyEvent(this, &TFxStatusPanel::PartChanged);
  font3D_.OnChange = TNotifyEvent(this, &TFxStatusPanel::PartChanged);
  Changed(false);
}

// ----------------------------------------------------------- TFxStatusPanels

TCollectionItem* TFxStatusPanels::NewItem() { return new TFxStatusPanel(this); }

void TFxStatusPanels::Update(TCollectionItem* item) {
  if (!bar_ || bar_->Loading()) return;
  if (item) bar_->UpdatePanel(item->Index());
  else bar_->Repaint();
}

// -------------------------------------------------------------- TFxStatusBar

namespace {
// The size grip's square, and the room the bar's children leave for it.
constexpr int kGripSize = 13;
constexpr int kGripRoom = 12;
}  // namespace

TFxStatusBar::TFxStatusBar(TComponent* owner) : TFxCustomBevelPanel(owner), panels_(this) {
  font3D_.OnChange = [this](TObject* sender) { SettingsChanged(sender); };
  SetOpaque(true);
  SetColor(clBtnFace);
  SetHeight(19);
  SetAlign(alBottom);
}

TFxStatusBar::~TFxStatusBar() { font3D_.OnChange = nullptr; }

void TFxStatusBar::SetAlignment(TFxAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TFxStatusBar::SetSimpleText(const std::string& value) {
  if (value == simpleText_) return;
  simpleText_ = value;
  Invalidate();
}

void TFxStatusBar::SetAutoSizeLastPanel(bool value) {
  if (value == autoSizeLastPanel_) return;
  autoSizeLastPanel_ = value;
  Invalidate();
}

void TFxStatusBar::SetOldStyle(bool value) {
  if (value == oldStyle_) return;
  oldStyle_ = value;
  Invalidate();
}

void TFxStatusBar::SetSimplePanel(bool value) {
  if (value == simplePanel_) return;
  simplePanel_ = value;
  Invalidate();
}

void TFxStatusBar::SetSizeGrip(bool value) {
  if (value == sizeGrip_) return;
  sizeGrip_ = value;
  Realign();
  Invalidate();
}

void TFxStatusBar::SetFont3D(const TFx3DCaption* value) { font3D_.Assign(value); }

void TFxStatusBar::SetPanels(const TFxStatusPanels* value) {
  panels_.Assign(value);
  Invalidate();
}

void TFxStatusBar::SetControlGap(int value) {
  if (value == controlGap_) return;
  controlGap_ = value;
  Invalidate();
}

void TFxStatusBar::AdjustClientRect(TRect& rect) const {
  TFxCustomBevelPanel::AdjustClientRect(rect);
  if (sizeGrip_) rect.Right -= kGripRoom;
}

void TFxStatusBar::Resize() { Invalidate(); }

void TFxStatusBar::DrawPanelContent(int index, TFxStatusPanel& panel, const TRect& inner) {
  TCanvas& canvas = *Canvas();
  switch (panel.Style()) {
    case spText:
      DrawCaption3D(canvas, panel.Text(), panel.Font3D(), &inner, true, Enabled(),
                    AlignmentTextFlags(panel.Alignment()), inner);
      break;
    case spOwnerDraw:
      if (OnOwnerDrawPanel) OnOwnerDrawPanel(this, index, inner, &canvas);
      break;
    case spPanel:
      if (TFxStatusCustomPanel* control = panel.Control()) {
        control->SetBounds(inner.Left, inner.Top, inner.Width(), inner.Height());
        control->Show();
      }
      break;
  }
}

void TFxStatusBar::Paint() {
  if (Loading()) return;
  TCanvas& canvas = *Canvas();
  const bool transparent = Transparent();
  PaintBackground(canvas);
  PaintBevel(bevel_, canvas, ClientRect(), transparent);
  try {
    TRect area = ClientRect();
    if (oldStyle_) {
      if (sizeGrip_) {
        DrawSizeGrip(canvas, area.Right, area.Bottom);
        area.Right -= kGripSize;
      }
      area = InflateRect(area, -1, -1);
    }
    panelsRect_ = area;
    if (simplePanel_) {
      canvas.SetFont(Font());
      DrawCaption3D(canvas, simpleText_, &font3D_, &area, true, Enabled(), AlignmentTextFlags(alignment_), area);
      return;
    }
    if (oldStyle_) return;
    const int count = panels_.Count();
    int x = area.Left;
    for (int i = 0; i < count; ++i) {
      TFxStatusPanel& panel = panels_[i];
      x += panel.Left();
      int right = x + panel.Size();
      // The last panel reaches the right edge; one that already runs past it
      // keeps its width.
      if (autoSizeLastPanel_ && i == count - 1 && right < area.Right) right = area.Right;
      const TRect inner = PaintBevel(*panel.Bevel(), canvas, Rect(x, area.Top, right, area.Bottom), transparent);
      canvas.SetFont(panel.Font());
      DrawPanelContent(i, panel, inner);
      // The next panel follows this one's Size, not its stretched width.
      x += panel.Size();
    }
    auto* form = dynamic_cast<TWinControl*>(Owner());
    if (sizeGrip_ && form && form->IsForm() && !form->IsMaximized()) DrawSizeGrip(canvas, area.Right, area.Bottom);
  } catch (const std::exception&) {
    // A failing panel or grip ends the paint; the bar stays as drawn.
  }
}

void TFxStatusBar::UpdatePanel(int index) {
  if (oldStyle_ || Loading() || index < 0 || index >= panels_.Count()) return;
  if (index == panels_.Count() - 1) {
    Paint();
    return;
  }
  int x = panelsRect_.Left;
  for (int j = 0; j < index; ++j) x += panels_[j].Left() + panels_[j].Size();
  TFxStatusPanel& panel = panels_[index];
  x += panel.Left();
  TCanvas& canvas = *Canvas();
  const TRect inner =
      PaintBevel(*panel.Bevel(), canvas, Rect(x, panelsRect_.Top, x + panel.Size(), panelsRect_.Bottom), false);
  canvas.SetFont(panel.Font());
  if (panel.Style() == spText) {
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(Color());
    canvas.FillRect(inner);
  }
  DrawPanelContent(index, panel, inner);
}

void TFxStatusBar::LeftButtonDown(int x) {
  if (oldStyle_) return;
  const int count = panels_.Count();
  int i = 0;
  for (int end = 0; i < count; ++i) {
    end += panels_[i].Size();
    if (x < end || (autoSizeLastPanel_ && i == count - 1)) break;
  }
  if (i < count && OnPanelClick) OnPanelClick(this, i);
}

void TFxStatusBar::DrawSizeGrip(TCanvas& canvas, int r, int b) {
  TPen& pen = *canvas.Pen();
  canvas.Brush()->SetStyle(bsSolid);
  canvas.Brush()->SetColor(Color());
  pen.SetStyle(psSolid);
  pen.SetWidth(1);
  pen.SetColor(Color());
  canvas.Rectangle(Rect(r - kGripSize, b - kGripSize, r, b));
  auto line = [&](TColor color, int width, int x0, int y0, int x1, int y1) {
    pen.SetColor(color);
    pen.SetWidth(width);
    canvas.MoveTo(x0, y0);
    canvas.LineTo(x1, y1);
  };
  for (int k = 0; k < 3; ++k) {
    line(clBtnShadow, 2, r - 2, b - 12 + 4 * k, r - 12 + 4 * k, b - 2);
    line(clWhite, 1, r - 2, b - 13 + 4 * k, r - 14 + 4 * k, b - 1);
    line(Color(), 1, r - 1, b - 11 + 4 * k, r - 11 + 4 * k, b - 1);
  }
  if (bevel_.BevelExtent() >= 1) {
    line(clBtnFace, 1, r - 1, b - 13, r - 1, b - 1);
    canvas.LineTo(r - 14, b - 1);
    canvas.SetPixels(r - 1, b - 1, clBtnFace);
  }
  pen.SetWidth(1);
}
