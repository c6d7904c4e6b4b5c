// The panel and the image.
#pragma once

#include "classlib/Controls.h"

using TPanelBevel = TBevelCut;

// A container with a bevel and a centred caption, drawn under its children.
class TPanel : public TCustomControl {
 public:
  // 185 x 41, outer bevel raised, inner none, bevel width 1, clBtnFace.
  explicit TPanel(TComponent* owner);

  // bvNone, bvLowered or bvRaised (other cuts draw no bevel).
  TPanelBevel BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TPanelBevel value);
  TPanelBevel BevelInner() const { return bevelInner_; }
  void SetBevelInner(TPanelBevel value);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);

 protected:
  // Aligned children share the area inside the bevels.
  void AdjustClientRect(TRect& rect) const override;
  void Paint() override;

 private:
  int BevelSize() const;

  TPanelBevel bevelOuter_ = bvRaised;
  TPanelBevel bevelInner_ = bvNone;
  int bevelWidth_ = 1;
  TAlignment alignment_ = taCenter;
};

// A picture on the parent's surface.
class TImage : public TGraphicControl {
 public:
  // 105 x 105.
  explicit TImage(TComponent* owner);
  ~TImage() override;

  // Every change of the picture repaints the image.
  TPicture* Picture() { return &picture_; }
  // Scaled to the control's size; otherwise drawn at its own size, at the
  // top-left corner or, with Center, in the middle.
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  bool Center() const { return center_; }
  void SetCenter(bool value);
  // Passed on to the picture (a JPEG has no transparent colour).
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);

 protected:
  void Paint() override;

 private:
  void PictureChanged(TObject* sender);

  TPicture picture_;
  bool stretch_ = false;
  bool center_ = false;
  bool transparent_ = false;
};
