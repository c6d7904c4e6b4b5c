#include "classlib/Controls.h"

#include <algorithm>

// The canvas of a control: the top-level's surface, with the origin at the
// control's top-left corner, clipped to the control and its parents, and
// during the paint cycle to the area being painted.
class TControlCanvas : public TCanvas {
 public:
  explicit TControlCanvas(const TControl* control) : control_(control) {}

 protected:
  bool GetTarget(Target& target) override {
    TPoint origin;
    TRect clip;
    TWinControl* top = control_->Placement(origin, clip);
    if (!top) return false;
    TBitmap* surface = top->Surface();
    if (surface->Empty()) return false;
    if (top->painting_) clip = IntersectRect(clip, top->paintArea_);
    target.pixels = surface->Bits();
    target.stride = surface->Width();
    target.originX = origin.X;
    target.originY = origin.Y;
    target.clip = IntersectRect(clip, Rect(0, 0, surface->Width(), surface->Height()));
    top_ = top;
    return true;
  }

  void SurfaceChanged(const TRect& area) override {
    // The paint cycle reports its whole area once at its end.
    if (top_ && !top_->painting_) top_->SurfaceChanged(area);
  }

 private:
  const TControl* control_;
  TWinControl* top_ = nullptr;
};

// ----------------------------------------------------------------- TControl

TControl::TControl(TComponent* owner) : TComponent(owner) {
  font_.OnChange = TNotifyEvent(this, &TControl::FontChanged);
}

TControl::~TControl() {
  font_.OnChange = nullptr;
  if (parent_) {
    if (!parent_->destroying_) Invalidate();
    parent_->RemoveControl(this);
  }
}

TWinControl* TControl::Placement(TPoint& origin, TRect& clip) const {
  TRect r = Rect(0, 0, width_, height_);
  int x = 0;
  int y = 0;
  const TControl* c = this;
  while (c->parent_) {
    if (!c->visible_) return nullptr;
    x += c->left_;
    y += c->top_;
    r = OffsetRect(r, c->left_, c->top_);
    c = c->parent_;
    r = IntersectRect(r, Rect(0, 0, c->width_, c->height_));
  }
  if (!c->isWinControl_) return nullptr;
  origin = TPoint{x, y};
  clip = r;
  return static_cast<TWinControl*>(const_cast<TControl*>(c));
}

TWinControl* TControl::TopLevel() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return c->isWinControl_ ? static_cast<TWinControl*>(const_cast<TControl*>(c)) : nullptr;
}

bool TControl::Showing() const {
  TPoint origin;
  TRect clip;
  return Placement(origin, clip) != nullptr;
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_ || parent == this) return;
  for (const TControl* c = parent; c; c = c->parent_)
    if (c == this) return;  // a control cannot be inside itself
  if (parent_) {
    Invalidate();
    TWinControl* old = parent_;
    old->RemoveControl(this);
  }
  parent_ = parent;
  if (isWinControl_) static_cast<TWinControl*>(this)->surface_.reset();
  if (parent_) {
    parent_->InsertControl(this);
    AdoptParentColor();
    AdoptParentFont();
    if (align_ != alNone) parent_->Realign(this);
  }
  Invalidate();
}

void TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  const bool resized = width != width_ || height != height_;
  Invalidate();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (isWinControl_ && resized) static_cast<TWinControl*>(this)->SizeChanged();
  if (parent_ && align_ != alNone) parent_->Realign(this);
  if (resized) Resize();
  Invalidate();
}

void TControl::SetAlign(TAlign value) {
  if (value == align_) return;
  align_ = value;
  if (parent_) parent_->Realign(this);
}

void TControl::SetVisible(bool value) {
  if (value == visible_) return;
  if (!value) Invalidate();
  visible_ = value;
  if (parent_ && align_ != alNone) parent_->Realign(this);
  if (value) Invalidate();
  VisibleChanged();
}

void TControl::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Invalidate();
}

void TControl::ApplyColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  Invalidate();
  if (isWinControl_)
    for (TControl* child : static_cast<TWinControl*>(this)->controls_) child->AdoptParentColor();
}

void TControl::SetColor(TColor value) {
  parentColor_ = false;
  ApplyColor(value);
}

void TControl::SetParentColor(bool value) {
  if (value == parentColor_) return;
  parentColor_ = value;
  AdoptParentColor();
}

void TControl::AdoptParentColor() {
  if (parent_ && parentColor_) ApplyColor(parent_->color_);
}

void TControl::SetParentFont(bool value) {
  if (value == parentFont_) return;
  parentFont_ = value;
  AdoptParentFont();
}

void TControl::AdoptParentFont() {
  if (!parent_ || !parentFont_) return;
  adoptingFont_ = true;
  try {
    font_.Assign(&parent_->font_);
  } catch (...) {
    adoptingFont_ = false;
    throw;
  }
  adoptingFont_ = false;
}

void TControl::FontChanged(TObject*) {
  if (!adoptingFont_) parentFont_ = false;
  Invalidate();
  if (isWinControl_)
    for (TControl* child : static_cast<TWinControl*>(this)->controls_) child->AdoptParentFont();
}

void TControl::SetCaption(const std::string& value) {
  if (value == caption_) return;
  caption_ = value;
  Invalidate();
  TextChanged();
}

void TControl::Loaded() {
  TComponent::Loaded();
  AdoptParentColor();
  AdoptParentFont();
  if (isWinControl_) static_cast<TWinControl*>(this)->Realign();
  Invalidate();
}

void TControl::Invalidate() { Invalidate(ClientRect()); }

void TControl::Invalidate(const TRect& area) {
  TPoint origin;
  TRect clip;
  TWinControl* top = Placement(origin, clip);
  if (!top || top->destroying_) return;
  clip = IntersectRect(clip, OffsetRect(area, origin.X, origin.Y));
  if (clip.IsEmpty()) return;
  top->invalid_ = UnionRect(top->invalid_, clip);
  top->PaintRequested();
}

void TControl::Update() {
  if (TWinControl* top = TopLevel()) top->PaintInvalid();
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

TCanvas* TControl::ControlCanvas() {
  if (!canvas_) canvas_ = std::make_unique<TControlCanvas>(this);
  return canvas_.get();
}

// -------------------------------------------------------------- TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner) { isWinControl_ = true; }

TWinControl::~TWinControl() {
  destroying_ = true;
  while (!controls_.empty()) delete controls_.back();
}

TControl* TWinControl::Controls(int index) const {
  if (index < 0 || index >= ControlCount()) throw EListError(Format("List index out of bounds (%d)", index));
  return controls_[static_cast<std::size_t>(index)];
}

void TWinControl::InsertControl(TControl* control) { controls_.push_back(control); }

void TWinControl::RemoveControl(TControl* control) {
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it == controls_.end()) return;
  controls_.erase(it);
  if (!destroying_ && control->align_ != alNone) Realign();
}

TBitmap* TWinControl::Surface() {
  if (Parent()) return nullptr;
  if (!surface_) surface_ = std::make_unique<TBitmap>();
  if (surface_->Width() != Width() || surface_->Height() != Height()) surface_->SetSize(Width(), Height());
  return surface_.get();
}

void TWinControl::SizeChanged() {
  if (!Parent() && surface_) {
    surface_->SetSize(Width(), Height());
    invalid_ = UnionRect(invalid_, ClientRect());
  }
  Realign();
}

void TWinControl::Realign(TControl* moved) {
  if (aligning_ || destroying_ || Loading()) return;
  aligning_ = true;
  try {
    TRect area = ClientRect();
    AdjustClientRect(area);
    std::vector<TControl*> group;
    auto collect = [&](TAlign align, auto key) {
      group.clear();
      for (TControl* c : controls_)
        if (c->align_ == align && c->visible_) group.push_back(c);
      // On a tie the control just moved (or inserted) goes first: nearest
      // to the edge it is aligned to.
      std::stable_sort(group.begin(), group.end(), [&](TControl* a, TControl* b) {
        return key(a) < key(b) || (key(a) == key(b) && a == moved && b != moved);
      });
    };
    collect(alTop, [](TControl* c) { return c->top_; });
    for (TControl* c : group) {
      c->SetBounds(area.Left, area.Top, area.Width(), c->height_);
      area.Top += c->height_;
    }
    collect(alBottom, [](TControl* c) { return -(c->top_ + c->height_); });
    for (TControl* c : group) {
      c->SetBounds(area.Left, area.Bottom - c->height_, area.Width(), c->height_);
      area.Bottom -= c->height_;
    }
    collect(alLeft, [](TControl* c) { return c->left_; });
    for (TControl* c : group) {
      c->SetBounds(area.Left, area.Top, c->width_, area.Height());
      area.Left += c->width_;
    }
    collect(alRight, [](TControl* c) { return -(c->left_ + c->width_); });
    for (TControl* c : group) {
      c->SetBounds(area.Right - c->width_, area.Top, c->width_, area.Height());
      area.Right -= c->width_;
    }
    collect(alClient, [](TControl*) { return 0; });
    for (TControl* c : group) c->SetBounds(area.Left, area.Top, area.Width(), area.Height());
  } catch (...) {
    aligning_ = false;
    throw;
  }
  aligning_ = false;
}

void TWinControl::PaintInvalid() {
  if (Parent() || painting_) return;
  TBitmap* surface = Surface();
  const TRect area = IntersectRect(invalid_, Rect(0, 0, surface->Width(), surface->Height()));
  invalid_ = TRect{};
  if (area.IsEmpty()) return;
  painting_ = true;
  paintArea_ = area;
  try {
    PaintTree(area);
  } catch (...) {
    painting_ = false;
    throw;
  }
  painting_ = false;
  SurfaceChanged(area);
}

void TWinControl::PaintTree(const TRect& area) {
  TPoint origin;
  TRect clip;
  if (!Placement(origin, clip) || IntersectRect(clip, area).IsEmpty()) return;
  if (!Opaque()) {
    TControlCanvas eraser(this);
    eraser.Brush()->SetColor(Color());
    eraser.FillRect(ClientRect());
  }
  Paint();
  // By index: a Paint may add or remove controls.
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    TControl* c = controls_[i];
    if (!c->isWinControl_ && c->visible_ &&
        !IntersectRect(OffsetRect(c->BoundsRect(), origin.X, origin.Y), area).IsEmpty())
      c->Paint();
  }
  for (std::size_t i = 0; i < controls_.size(); ++i)
    if (controls_[i]->isWinControl_) static_cast<TWinControl*>(controls_[i])->PaintTree(area);
}
