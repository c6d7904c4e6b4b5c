// The memo: lines of text, word-wrapped in the control's width.
#pragma once

#include "classlib/Controls.h"

class TMemo : public TCustomControl {
 public:
  // 185 x 89, sunken border, clWindow, word wrap on.
  explicit TMemo(TComponent* owner);
  ~TMemo() override;

  // Every change repaints the memo.
  TStringList* Lines() { return &lines_; }
  // bsSingle: a two-pixel sunken edge; bsNone: no frame.
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  // A line wider than the text area breaks after its last space that fits
  // (or, without one, after the last character that fits).
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);

  // The text area inside border and margins (two pixels left and right).
  TRect TextRect() const;

 protected:
  void Paint() override;

 private:
  void LinesChanged(TObject* sender);

  TStringList lines_;
  TBorderStyle borderStyle_ = bsSingle;
  bool wordWrap_ = true;
};
