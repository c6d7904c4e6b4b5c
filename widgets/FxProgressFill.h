// TFxProgressFill: a windowless progress bar that shows a percentage 0..100
// as a strip filled from one edge, framed by a bevel, with the percentage (or
// the caption) written across it in two colours.
//
// A full paint draws background, frame and bar. Setting Position redraws only
// the bar, at once and synchronously, composed off-screen and copied in one
// operation; a percentage that is already shown draws nothing.
#pragma once

#include "widgets/FxControls.h"

#include <algorithm>

enum TFxMeterDirection : std::uint8_t { mdHorizontal, mdVertical, mdHorizontalReverse, mdVerticalReverse };
enum TFxMeterTextOptions : std::uint8_t { toNoText, toCaption, toPercent };

// The filled part of a bar of len pixels at p percent: trunc(p x 0.01 x len)
// in 80-bit extended arithmetic, in that order (0.01 is the nearest extended
// value, slightly below 1/100), at most len. Where p x len is a multiple of
// 100 the result can be one pixel short: 10 % of 590 is 58.
int FilledLength(int percent, int length);

// The meter: range, position, text options and the bar update.
class TFxBaseMeter : public TFxGraphicControl {
 public:
  // 80 x 20 pixels, lowered outer bevel, Color clWindow, ParentColor true.
  explicit TFxBaseMeter(TComponent* owner);
  ~TFxBaseMeter() override;

  TFx3DCaption* Font3D() { return &font3D_; }
  void SetFont3D(const TFx3DCaption* value) { font3D_.Assign(value); }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TFxMeterDirection Direction() const { return direction_; }
  void SetDirection(TFxMeterDirection value);

  // The user range. Setting a bound equal to either current bound is
  // ignored; otherwise the two bounds are the smaller and the larger of the
  // new value and the other bound, a UserValue outside the new range moves
  // to the set value, Position follows UserValue and the meter redraws.
  int MinValue() const { return minValue_; }
  void SetMinValue(int value);
  int MaxValue() const { return maxValue_; }
  void SetMaxValue(int value);

  // The percentage shown, 0..100: values above 100 are stored as 100 and
  // negative ones as 0. Sets UserValue and updates the bar (not the frame).
  int Position() const { return position_; }
  void SetPosition(int value);
  // The position in MinValue..MaxValue; values outside the range are
  // ignored. Sets Position and updates the bar.
  int UserValue() const { return userValue_; }
  void SetUserValue(int value);
  // The percentage drawn by the last bar update.
  int LastPainted() const { return lastPainted_; }
  // Stored only.
  int Step() const { return step_; }
  void SetStep(int value) { step_ = static_cast<std::uint8_t>(std::clamp(value, 0, 100)); }
  // The area inside the bevel, as the last full paint found it.
  TRect BarRect() const { return barRect_; }
  TFxMeterTextOptions OptionsText() const { return optionsText_; }
  void SetOptionsText(TFxMeterTextOptions value);
  // Draw the text once in the font colour instead of in two colours.
  bool UseFontColor() const { return useFontColor_; }
  void SetUseFontColor(bool value);

  // MinValue + Position % of the range, and the percentage of a value; both
  // in 80-bit extended arithmetic, rounded to nearest with ties to even.
  int PercentToValue() const;
  int ValueToPercent(int value) const;

 protected:
  virtual bool IsPaintSuppressed() { return false; }
  // Draws the bar on the off-screen canvas: filled and rest split full.
  virtual void DrawBar(TCanvas& canvas, const TRect& filled, const TRect& rest, const TRect& full);
  // Composes the bar for GetPercent() off-screen and copies it onto BarRect.
  virtual void UpdateBar();
  virtual int GetPercent() { return position_; }
  void Paint() override;

 private:
  TFx3DCaption font3D_;
  TAlignment alignment_ = taCenter;
  TFxMeterDirection direction_ = mdHorizontal;
  int maxValue_ = 100;
  int minValue_ = 0;
  std::uint8_t position_ = 0;
  std::uint8_t lastPainted_ = 0;
  std::uint8_t step_ = 10;
  TRect barRect_;
  TFxMeterTextOptions optionsText_ = toNoText;
  bool useFontColor_ = false;
  int userValue_ = 0;
  // The off-screen bar, kept between updates so that they allocate nothing.
  TBitmap bar_;
};

// The progress fill: a fill object paints the filled part, a border style
// frames it, and the text is white over the fill and dark beside it.
class TFxCustomProgressFill : public TFxBaseMeter {
 public:
  explicit TFxCustomProgressFill(TComponent* owner);
  ~TFxCustomProgressFill() override;

  // The frame around the filled part (lsNone: none).
  TFxBorderStyle Bar3D() const { return bar3D_; }
  void SetBar3D(TFxBorderStyle value);
  // Handed to the fill as its back colour (brush and picture fills).
  TColor BrushBackColor() const { return brushBackColor_; }
  void SetBrushBackColor(TColor value);
  TFxFillObject* FillObject() { return &fillObject_; }
  void SetFillObject(const TFxFillObject* value) { fillObject_.Assign(value); }

 protected:
  void DrawBar(TCanvas& canvas, const TRect& filled, const TRect& rest, const TRect& full) override;

 private:
  TFxBorderStyle bar3D_ = lsNone;
  TColor brushBackColor_ = clBtnFace;
  TFxFillObject fillObject_;
};

class TFxProgressFill : public TFxCustomProgressFill {
 public:
  using TFxCustomProgressFill::TFxCustomProgressFill;
};
