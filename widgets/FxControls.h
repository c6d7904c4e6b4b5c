// The bases of the widgets: a windowless control and a windowed panel, each
// with its own bevel and the rule that a change of an owned settings object
// redraws the control.
#pragma once

#include "classlib/Controls.h"
#include "widgets/FxSettings.h"

// A windowless widget. Every owned settings object reports its changes to
// SettingsChanged, which redraws the control (Redraw).
class TFxGraphicControl : public TGraphicControl {
 public:
  explicit TFxGraphicControl(TComponent* owner);
  ~TFxGraphicControl() override;

  TFxBevel* Bevel() { return &bevel_; }
  const TFxBevel* Bevel() const { return &bevel_; }
  // Copies the settings; the copy's notification redraws the control.
  void SetBevel(const TFxBevel* value) { bevel_.Assign(value); }

  // A transparent control (or one placed in a designer) is redrawn through
  // the paint cycle; an opaque one paints at once, synchronously.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  void Redraw();

 protected:
  // Receives OnChange of every owned settings object.
  virtual void SettingsChanged(TObject* sender);
  // True while the control composes its bar (a nested update returns).
  bool PaintLock() const { return paintLock_; }
  void SetPaintLock(bool value) { paintLock_ = value; }

  TFxBevel bevel_;

 private:
  bool transparent_ = false;
  bool paintLock_ = false;
};

// A windowed widget with a bevel. A change of the bevel lays the children
// out again (inside the bevel) and invalidates the control.
class TFxCustomBevelPanel : public TCustomControl {
 public:
  explicit TFxCustomBevelPanel(TComponent* owner);
  ~TFxCustomBevelPanel() override;

  TFxBevel* Bevel() { return &bevel_; }
  const TFxBevel* Bevel() const { return &bevel_; }
  void SetBevel(const TFxBevel* value) { bevel_.Assign(value); }

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);

 protected:
  // Fills the client area with Color unless the control is transparent.
  void PaintBackground(TCanvas& canvas);
  virtual void SettingsChanged(TObject* sender);
  void AdjustClientRect(TRect& rect) const override;
  // Background and bevel.
  void Paint() override;

  TFxBevel bevel_;

 private:
  bool transparent_ = false;
};
