#include "widgets/FxProgressFill.h"

#include "platform/Win32.h"
#include "widgets/FxDraw.h"

#include <cmath>
#include <limits>

static_assert(std::numeric_limits<long double>::digits == 64, "the bar arithmetic needs the 80-bit extended type");

int FilledLength(int percent, int length) {
  long double filled = static_cast<long double>(percent) * 0.01L;
  filled *= static_cast<long double>(length);
  const auto pixels = static_cast<long long>(filled);  // toward zero
  return pixels < length ? static_cast<int>(pixels) : length;
}

namespace {

// Rounds to the nearest integer, ties to the even one (the default rounding
// mode of the floating-point unit).
long long roundEven(long double value) { return std::llrint(value); }

}  // namespace

TFxBaseMeter::TFxBaseMeter(TComponent* owner) : TFxGraphicControl(owner) {
  SetOpaque(true);
  SetColor(clWindow);
  SetParentColor(true);
  font3D_.OnChange = [this](TObject* sender) { SettingsChanged(sender); };
  bevel_.BeginUpdate();
  bevel_.SetStyleOuter(bvLowered);
  bevel_.EndUpdate(false);
  SetBounds(Left(), Top(), 80, 20);
}

TFxBaseMeter::~TFxBaseMeter() { font3D_.OnChange = nullptr; }

void TFxBaseMeter::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Redraw();
}

void TFxBaseMeter::SetDirection(TFxMeterDirection value) {
  if (value == direction_) return;
  direction_ = value;
  Redraw();
}

void TFxBaseMeter::SetOptionsText(TFxMeterTextOptions value) {
  if (value == optionsText_) return;
  optionsText_ = value;
  Redraw();
}

void TFxBaseMeter::SetUseFontColor(bool value) {
  if (value == useFontColor_) return;
  useFontColor_ = value;
  Redraw();
}

int TFxBaseMeter::PercentToValue() const {
  const long double range = static_cast<long double>(static_cast<long long>(maxValue_) - minValue_);
  return static_cast<int>(minValue_ + roundEven(position_ * 0.01L * range));
}

int TFxBaseMeter::ValueToPercent(int value) const {
  const long double offset = static_cast<long double>(static_cast<long long>(value) - minValue_);
  const long double range = static_cast<long double>(static_cast<long long>(maxValue_) - minValue_);
  const long long percent = roundEven(offset / range * 100);
  return static_cast<int>(std::clamp(percent, 0LL, 100LL));
}

void TFxBaseMeter::SetMinValue(int value) {
  if (value == minValue_ || value == maxValue_) return;
  const int other = maxValue_;
  minValue_ = std::min(value, other);
  maxValue_ = std::max(value, other);
  if (userValue_ < minValue_ || userValue_ > maxValue_) userValue_ = minValue_;
  position_ = static_cast<std::uint8_t>(ValueToPercent(userValue_));
  Redraw();
}

void TFxBaseMeter::SetMaxValue(int value) {
  if (value == maxValue_ || value == minValue_) return;
  const int other = minValue_;
  minValue_ = std::min(value, other);
  maxValue_ = std::max(value, other);
  if (userValue_ < minValue_ || userValue_ > maxValue_) userValue_ = maxValue_;
  position_ = static_cast<std::uint8_t>(ValueToPercent(userValue_));
  Redraw();
}

void TFxBaseMeter::SetPosition(int value) {
  value = std::clamp(value, 0, 100);
  if (value == position_) return;
  position_ = static_cast<std::uint8_t>(value);
  userValue_ = PercentToValue();
  UpdateBar();
}

void TFxBaseMeter::SetUserValue(int value) {
  if (value == userValue_ || value < minValue_ || value > maxValue_) return;
  userValue_ = value;
  position_ = static_cast<std::uint8_t>(ValueToPercent(value));
  UpdateBar();
}

void TFxBaseMeter::Paint() {
  if (Loading() || IsPaintSuppressed()) return;
  lastPainted_ = 0;
  TCanvas& canvas = *Canvas();
  canvas.Brush()->SetStyle(bsSolid);
  canvas.Brush()->SetColor(Color());
  canvas.FillRect(ClientRect());
  barRect_ = PaintBevel(bevel_, canvas, ClientRect(), false);
  UpdateBar();
}

void TFxBaseMeter::UpdateBar() {
  if (PaintLock() || Loading()) return;
  const int p = GetPercent();
  if (p != 0 && p == lastPainted_) return;
  SetPaintLock(true);
  struct Finish {
    TFxBaseMeter* meter;
    int percent;
    ~Finish() {
      meter->SetPaintLock(false);
      meter->lastPainted_ = static_cast<std::uint8_t>(percent);
    }
  } finish{this, p};

  const int bw = barRect_.IsEmpty() ? 0 : barRect_.Width();
  const int bh = barRect_.IsEmpty() ? 0 : barRect_.Height();
  bar_.SetSize(bw, bh);
  TCanvas& canvas = *bar_.Canvas();
  const TRect full = Rect(0, 0, bw, bh);
  if (!bar_.Empty()) {
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(Color());
    canvas.FillRect(full);
  }
  TRect filled;
  switch (direction_) {
    case mdHorizontal: filled = Rect(0, 0, FilledLength(p, bw), bh); break;
    case mdVertical: filled = Rect(0, 0, bw, FilledLength(p, bh)); break;
    case mdHorizontalReverse: filled = Rect(bw - FilledLength(p, bw), 0, bw, bh); break;
    case mdVerticalReverse: filled = Rect(0, bh - FilledLength(p, bh), bw, bh); break;
  }
  const TRect rest = SubtractRect(full, filled);
  DrawBar(canvas, filled, rest, full);
  Canvas()->Draw(barRect_.Left, barRect_.Top, bar_);
}

void TFxBaseMeter::DrawBar(TCanvas&, const TRect&, const TRect&, const TRect&) {}

// ------------------------------------------------------ TFxCustomProgressFill

TFxCustomProgressFill::TFxCustomProgressFill(TComponent* owner) : TFxBaseMeter(owner) {
  fillObject_.OnChange = [this](TObject* sender) { SettingsChanged(sender); };
}

TFxCustomProgressFill::~TFxCustomProgressFill() { fillObject_.OnChange = nullptr; }

void TFxCustomProgressFill::SetBar3D(TFxBorderStyle value) {
  if (value == bar3D_) return;
  bar3D_ = value;
  Redraw();
}

void TFxCustomProgressFill::SetBrushBackColor(TColor value) {
  if (value == brushBackColor_) return;
  brushBackColor_ = value;
  Redraw();
}

void TFxCustomProgressFill::DrawBar(TCanvas& canvas, const TRect& filled, const TRect& rest, const TRect& full) {
  PaintFill(fillObject_, canvas, filled, brushBackColor_);
  if (Position() > 0) {
    TRect frame = filled;
    DrawBorderStyle(canvas, frame, bar3D_);
  }
  if (OptionsText() == toNoText) return;
  canvas.SetFont(Font());
  canvas.Brush()->SetColor(Color());
  canvas.Brush()->SetStyle(bsClear);
  const std::string text = OptionsText() == toCaption ? Caption() : Format("%d%%", GetPercent());
  static constexpr unsigned kHorizontal[] = {DT_LEFT, DT_RIGHT, DT_CENTER};  // by TAlignment
  const unsigned flags = kHorizontal[Alignment()] | DT_VCENTER | DT_SINGLELINE;
  const TFxFillStyle style = fillObject_.Style();
  const TColor restColor = style == sfNone || style == sfBrush ? fillObject_.Brush()->Color() : Font()->Color();
  if (UseFontColor()) {
    canvas.Font()->SetColor(Font()->Color());
    DrawCaption3D(canvas, text, Font3D(), nullptr, false, Enabled(), flags, full);
    return;
  }
  canvas.Font()->SetColor(Color());
  DrawCaption3D(canvas, text, Font3D(), &filled, true, Enabled(), flags, full);
  canvas.Font()->SetColor(restColor);
  DrawCaption3D(canvas, text, Font3D(), &rest, true, Enabled(), flags, full);
}
