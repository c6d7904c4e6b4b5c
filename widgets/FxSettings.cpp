#include "widgets/FxSettings.h"

#include "widgets/FxDraw.h"

#include <algorithm>

void TFxObject::EndUpdate(bool notify) {
  updating_ = false;
  if (notify) Changed();
}

void TFxObject::Changed() {
  if (!updating_ && OnChange) OnChange(this);
}

// ----------------------------------------------------------------- TFxBevel

namespace {

constexpr int kMaxBevelWidth = 50;
constexpr int kMaxBorderWidth = 255;

bool isFrame(TFxBevelStyle style) { return style == bvFrameLowered || style == bvFrameRaised; }

}  // namespace

TFxBevel::TFxBevel() { ComputeExtents(); }

void TFxBevel::SetStyleInner(TFxBevelStyle value) {
  if (value == styleInner_) return;
  if (value == bvShadow) styleOuter_ = bvShadow;
  else if (styleInner_ == bvShadow) styleOuter_ = bvNone;
  styleInner_ = value;
  Changed();
}

void TFxBevel::SetStyleOuter(TFxBevelStyle value) {
  if (value == styleOuter_) return;
  if (value == bvShadow) styleInner_ = bvShadow;
  else if (styleOuter_ == bvShadow) styleInner_ = bvNone;
  styleOuter_ = value;
  Changed();
}

void TFxBevel::SetWidthInner(int value) { SetField(widthInner_, std::clamp(value, 0, kMaxBevelWidth)); }
void TFxBevel::SetWidthOuter(int value) { SetField(widthOuter_, std::clamp(value, 0, kMaxBevelWidth)); }
void TFxBevel::SetBorderInnerWidth(int value) { SetField(borderInnerWidth_, std::clamp(value, 0, kMaxBorderWidth)); }
void TFxBevel::SetBorderWidth(int value) { SetField(borderWidth_, std::clamp(value, 0, kMaxBorderWidth)); }

void TFxBevel::SetBorderSides(TFxFrameSides value) {
  if (value == borderSides_) return;
  borderSides_ = value;
  if (mode_ == bmEdge) Changed();
}

void TFxBevel::SetEdgeStyle(TFxEdgeStyle value) {
  if (value == edgeStyle_) return;
  edgeStyle_ = value;
  if (mode_ == bmEdge) Changed();
}

void TFxBevel::SetStandardStyle(TFxBorderStyle value) {
  if (value == standardStyle_) return;
  standardStyle_ = value;
  if (mode_ == bmStandard) Changed();
}

void TFxBevel::ComputeExtents() {
  int extent = 0;
  switch (mode_) {
    case bmCustom:
      if (styleInner_ == bvShadow) {
        extent = widthInner_ + borderInnerWidth_;
      } else {
        extent = borderWidth_ + borderInnerWidth_;
        if (styleInner_ != bvNone || styleOuter_ != bvNone) {
          if (styleOuter_ != bvNone) extent += widthOuter_ + (isFrame(styleOuter_) ? 1 : 0);
          if (styleInner_ != bvNone) extent += widthInner_ + (isFrame(styleInner_) ? 1 : 0);
        }
      }
      break;
    case bmStandard: extent = BorderStyleWidth(standardStyle_) + borderInnerWidth_; break;
    case bmEdge: extent = (borderSides_.Empty() ? 0 : 2) + borderInnerWidth_; break;
    case bmWindows: extent = systemBorder_ ? 0 : borderInnerWidth_ + 2; break;
  }
  bevelExtent_ = extent;
  farExtent_ = mode_ == bmCustom && styleOuter_ == bvShadow ? widthInner_ + widthOuter_ + borderInnerWidth_ : extent;
}

void TFxBevel::Changed() {
  ComputeExtents();
  TFxObject::Changed();
}

void TFxBevel::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TFxBevel*>(source);
  if (!other) {
    TFxObject::Assign(source);
    return;
  }
  styleInner_ = other->styleInner_;
  styleOuter_ = other->styleOuter_;
  widthInner_ = other->widthInner_;
  widthOuter_ = other->widthOuter_;
  borderColor_ = other->borderColor_;
  borderInnerWidth_ = other->borderInnerWidth_;
  borderWidth_ = other->borderWidth_;
  borderSides_ = other->borderSides_;
  edgeStyle_ = other->edgeStyle_;
  lightColor_ = other->lightColor_;
  mode_ = other->mode_;
  shadowColor_ = other->shadowColor_;
  standardStyle_ = other->standardStyle_;
  Changed();
}

// -------------------------------------------------------------- TFxGradient

namespace {
constexpr int kMinColorCount = 2;
constexpr int kMaxColorCount = 236;
}  // namespace

TFxGradient::TFxGradient() { BuildColorList(); }

void TFxGradient::SetColorCount(int value) {
  SetField(colorCount_, std::clamp(value, kMinColorCount, kMaxColorCount));
}

void TFxGradient::BuildColorList() {
  colorList_.clear();
  if (twoColors_) {
    BuildColorRamp(color_, endColor_, colorCount_, true, &colorList_);
    return;
  }
  const int stops = static_cast<int>(colors_.size());
  if (stops < 2) return;
  // Each segment keeps at least its two ends, so every stop shows even when
  // ColorCount is small for the number of stops.
  const int perSegment = std::max(2, colorCount_ / stops);
  BuildColorRamp(colors_[0], colors_[1], perSegment, true, &colorList_);
  for (int j = 1; j + 1 < stops; ++j)
    BuildColorRamp(colors_[static_cast<std::size_t>(j)], colors_[static_cast<std::size_t>(j) + 1], perSegment, false,
                   &colorList_);
}

void TFxGradient::Changed() {
  BuildColorList();
  TFxObject::Changed();
}

void TFxGradient::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TFxGradient*>(source);
  if (!other) {
    TFxObject::Assign(source);
    return;
  }
  colorCount_ = other->colorCount_;
  color_ = other->color_;
  endColor_ = other->endColor_;
  paletteRealize_ = other->paletteRealize_;
  style_ = other->style_;
  colors_ = other->colors_;
  twoColors_ = other->twoColors_;
  Changed();
}

// ------------------------------------------------- TFxShapeFill, TFxFillObject

TFxShapeFill::TFxShapeFill() { gradient_.OnChange = TNotifyEvent(this, &TFxShapeFill::PartChanged); }

TFxShapeFill::~TFxShapeFill() { gradient_.OnChange = nullptr; }

void TFxShapeFill::SetBitmap(const TBitmap* value) {
  bitmap_.Assign(value);
  Changed();
}

void TFxShapeFill::SetListBitmap(const TBitmap* value) {
  listBitmap_.Assign(value);
  Changed();
}

void TFxShapeFill::CopyFrom(const TFxShapeFill& other) {
  bitmap_.Assign(&other.bitmap_);
  gradient_.BeginUpdate();
  gradient_.Assign(&other.gradient_);
  gradient_.EndUpdate(false);
  style_ = other.style_;
  tileMode_ = other.tileMode_;
  listBitmap_.Assign(&other.listBitmap_);
}

void TFxShapeFill::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TFxShapeFill*>(source);
  if (!other) {
    TFxObject::Assign(source);
    return;
  }
  CopyFrom(*other);
  Changed();
}

TFxFillObject::TFxFillObject() {
  style_ = sfNone;
  brush_.OnChange = TNotifyEvent(this, &TFxFillObject::BrushChanged);
}

TFxFillObject::~TFxFillObject() { brush_.OnChange = nullptr; }

void TFxFillObject::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TFxFillObject*>(source);
  if (!other) {
    TFxShapeFill::Assign(source);
    return;
  }
  CopyFrom(*other);
  alignment_ = other->alignment_;
  offsetX_ = other->offsetX_;
  offsetY_ = other->offsetY_;
  {
    TNotifyEvent saved = brush_.OnChange;
    brush_.OnChange = nullptr;
    brush_.Assign(&other->brush_);
    brush_.OnChange = saved;
  }
  options_ = other->options_;
  Changed();
}

// ------------------------------------------------------------- TFx3DCaption

void TFx3DCaption::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TFx3DCaption*>(source);
  if (!other) {
    TFxObject::Assign(source);
    return;
  }
  disabledStyle_ = other->disabledStyle_;
  lightDepth_ = other->lightDepth_;
  shadowDepth_ = other->shadowDepth_;
  lightColor_ = other->lightColor_;
  shadowColor_ = other->shadowColor_;
  style_ = other->style_;
  orientation_ = other->orientation_;
  tracing_ = other->tracing_;
  Changed();
}
