// The controls of a window and how they are drawn.
//
// Only a top-level control (a TWinControl without parent: the form) stands
// for a platform window. It owns a surface, a TBitmap of its size, and every
// control inside it draws into that surface at its offset, clipped to its own
// bounds and those of its parents:
//
// - Synchronous drawing: a control's canvas writes straight into the surface,
//   whenever the control draws (a widget that repaints itself at once when a
//   value changes). After each drawing operation the top-level's
//   SurfaceChanged hook receives the changed area.
// - The paint cycle: Invalidate marks an area of the top-level as needing
//   paint (and calls its PaintRequested hook); Update paints every marked
//   area now: each windowed control erases its background with its Color
//   (unless opaque) and paints itself, then its graphic children, then its
//   windowed children, in creation order, all clipped to the marked area.
//   SurfaceChanged then receives the area once.
//
// The form built on this class overrides SurfaceChanged to bring the area to
// the screen, and PaintRequested to ask the platform for a WM_PAINT, in which
// it calls Update. Off-screen (tests, tools) a plain parentless TWinControl
// is a complete host: its Surface() holds what the controls drew.
//
// Alignment: children with Align other than alNone are laid out in the
// parent's client area whenever the parent's size, or a child's bounds,
// parent, visibility or Align changes: first alTop (topmost first, by current
// Top), then alBottom (lowest first, by current bottom edge), alLeft
// (leftmost first), alRight (rightmost first), and alClient takes what
// remains. The child that caused the layout wins a tie; while loading, the
// stored positions decide once Loaded runs.
//
// Controls do not clip one another: siblings are expected not to overlap.
#pragma once

#include "classlib/Graphics.h"

#include <memory>
#include <vector>

enum TAlign : std::uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Horizontal placement of a text.
enum TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };

// The frame of a control (bsNone, bsSingle: a sunken edge) or of a form's
// window (all six).
enum TBorderStyle : std::uint8_t { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

// The cuts of a bevel. Panels draw the first three; the widgets' bevels all
// of them. One enumeration, so that a unit holding both sees each name once.
enum TBevelCut : std::uint8_t { bvNone, bvLowered, bvRaised, bvFrameLowered, bvFrameRaised, bvNormal, bvShadow };

class TWinControl;
class TControlCanvas;

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  // Moves the control into parent's children (last in stacking order), takes
  // the parent's colour and font where ParentColor and ParentFont say so and
  // lets the parent lay out its children again.
  void SetParent(TWinControl* parent);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int value) { SetBounds(value, top_, width_, height_); }
  void SetTop(int value) { SetBounds(left_, value, width_, height_); }
  void SetWidth(int value) { SetBounds(left_, top_, value, height_); }
  void SetHeight(int value) { SetBounds(left_, top_, width_, value); }
  // Position in the parent's client area and size; negative sizes become 0.
  // A form overrides it to move its window along.
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }

  TAlign Align() const { return align_; }
  void SetAlign(TAlign value);

  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, with every parent visible, inside a top-level control (whose
  // own visibility does not matter: its surface exists either way).
  bool Showing() const;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);

  // The background colour. Setting it clears ParentColor.
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);

  // The text font. Changing it (or assigning another) clears ParentFont.
  TFont* Font() { return &font_; }
  const TFont* Font() const { return &font_; }
  void SetFont(const TFont* value) { font_.Assign(value); }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);

  // The client area in the control's own coordinates: (0, 0, Width, Height).
  TRect ClientRect() const { return Rect(0, 0, width_, height_); }
  int ClientWidth() const { return width_; }
  int ClientHeight() const { return height_; }

  // The parentless windowed control at the root of this one's parents (this
  // control itself when it is one), or null.
  TWinControl* TopLevel() const;

  // Marks the control's area (or a part of it, in the control's
  // coordinates) for the next paint cycle.
  void Invalidate();
  void Invalidate(const TRect& area);
  // Runs the top-level's paint cycle now.
  void Update();
  // Invalidate and Update: the control is redrawn now, through the cycle.
  void Repaint();

  // An opaque control paints all of its area itself, so the paint cycle does
  // not erase its background.
  bool Opaque() const { return opaque_; }

 protected:
  // Draws the control on its canvas. Called by the paint cycle (and by
  // controls that redraw themselves at once).
  virtual void Paint() {}
  // Called after the size changed.
  virtual void Resize() {}
  // Called after Visible, and after Caption, changed.
  virtual void VisibleChanged() {}
  virtual void TextChanged() {}
  void Loaded() override;
  void SetOpaque(bool value) { opaque_ = value; }
  // The canvas that draws on the top-level's surface within this control;
  // created on first use.
  TCanvas* ControlCanvas();

 private:
  friend class TWinControl;
  friend class TControlCanvas;

  // The top-level, the control's origin on its surface and the part of the
  // surface it may draw on; null when the control cannot draw now.
  TWinControl* Placement(TPoint& origin, TRect& clip) const;
  void FontChanged(TObject* sender);
  void AdoptParentColor();
  void AdoptParentFont();
  void ApplyColor(TColor value);

  TWinControl* parent_ = nullptr;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  TAlign align_ = alNone;
  bool visible_ = true;
  bool enabled_ = true;
  bool opaque_ = false;
  bool isWinControl_ = false;
  TColor color_ = clWindow;
  bool parentColor_ = false;
  TFont font_;
  bool parentFont_ = true;
  bool adoptingFont_ = false;
  std::string caption_;
  std::unique_ptr<TControlCanvas> canvas_;
};

// A control that can hold others.
class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  // Frees the controls it still parents, last first.
  ~TWinControl() override;

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  // Raises EListError "List index out of bounds (%d)".
  TControl* Controls(int index) const;

  // Lays the aligned children out again; moved (a child whose position or
  // alignment just changed) goes first among children at the same place.
  // Nothing happens while the control is being loaded: Loaded aligns.
  void Realign(TControl* moved = nullptr);

  // Top-level only (null for a control with a parent): the pixels the
  // controls drew, sized to the control.
  TBitmap* Surface();
  // The area marked by Invalidate and not yet painted (surface coordinates).
  TRect InvalidArea() const { return invalid_; }

  // Position in the tab sequence among the siblings (stored; the program
  // takes no keyboard input).
  int TabOrder() const { return tabOrder_; }
  void SetTabOrder(int value) { tabOrder_ = value; }

  // Whether this is a form, and a maximised one (widgets that draw a size
  // grip ask their owner).
  virtual bool IsForm() const { return false; }
  virtual bool IsMaximized() const { return false; }

 protected:
  // The part of the client area that aligned children share.
  virtual void AdjustClientRect(TRect& rect) const { (void)rect; }
  // Top-level only: area of the surface (surface coordinates) changed.
  virtual void SurfaceChanged(const TRect& area) { (void)area; }
  // Top-level only: an area was marked for painting; Update will paint it.
  virtual void PaintRequested() {}

 private:
  friend class TControl;
  friend class TControlCanvas;

  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  void SizeChanged();
  void PaintInvalid();
  void PaintTree(const TRect& area);

  std::vector<TControl*> controls_;
  std::unique_ptr<TBitmap> surface_;
  TRect invalid_;
  TRect paintArea_;
  int tabOrder_ = -1;
  bool painting_ = false;
  bool aligning_ = false;
  bool destroying_ = false;
};

// A windowless control: it draws on its parent's surface through a canvas
// clipped to its bounds.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner) : TControl(owner) {}
  TCanvas* Canvas() { return ControlCanvas(); }
};

// A windowed control that draws itself on its canvas in Paint.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner) : TWinControl(owner) {}
  TCanvas* Canvas() { return ControlCanvas(); }
};
