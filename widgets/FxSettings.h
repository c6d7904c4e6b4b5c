// The settings objects of the widgets: bevel, fill with its gradient, and 3D
// text. Each reports every change to its owner through OnChange; the drawing
// routines that carry them out are in widgets/FxDraw.h.
#pragma once

#include "classlib/Controls.h"

#include <vector>

// The class library's bevel cuts (bvNone ... bvShadow), shared with its panel.
using TFxBevelStyle = TBevelCut;
enum TFxBevelMode : std::uint8_t { bmCustom, bmStandard, bmEdge, bmWindows };
enum TFxBorderStyle : std::uint8_t {
  lsNone,
  lsSingle,
  lsLowered,
  lsRaised,
  lsRaisedspb,
  lsLoweredspb,
  lsRaisedExt,
  lsLoweredExt,
  lsFrameInset,
  lsFrameOffset,
  lsWindowBorder,
  lsSingleRaised,
  lsSingleLowered,
  lsDoubleRaised,
  lsDoubleLowered,
};
enum TFxFrameSide : std::uint8_t { fsBottom, fsLeft, fsRight, fsTop };
using TFxFrameSides = TSet<TFxFrameSide>;
// The system edge drawn by bmEdge: raised, sunken, etched or bump.
enum TFxEdgeStyle : std::uint8_t { etRaised, etSunken, etEtched, etBump };

enum TFxFillStyle : std::uint8_t { sfNone, sfBrushBitmap, sfBrush, sfBitmap, sfBitmapList, sfGradient };
enum TFxTileMode : std::uint8_t { tmNone, tmCenter, tmStretch, tmTile };
enum TFxAlignment : std::uint8_t {
  agTopLeft,
  agTopCenter,
  agTopRight,
  agCenterLeft,
  agCenter,
  agCenterRight,
  agBottomLeft,
  agBottomCenter,
  agBottomRight,
};
enum TFxFillOption : std::uint8_t { foFillInner, foQuickDraw, foGrUseBitmap };
using TFxFillOptions = TSet<TFxFillOption>;

enum TFxGradientStyle : std::uint8_t {
  gstHorizontal,
  gstVertical,
  gstSquare,
  gstElliptic,
  gstTopLeft,
  gstTopRight,
  gstBottomLeft,
  gstBottomRight,
  gstTopLeftDiagonal,
  gstTopRightDiagonal,
};

enum TFxDisabledStyle : std::uint8_t { dsAuto, dsStandard, ds3d, dsNone };
enum TFxThreeDStyle : std::uint8_t {
  tdNone,
  tdSunken,
  tdRaised,
  tdSunkenShadow,
  tdRaisedShadow,
  tdPColorSunken,
  tdPColorRaised,
  tdShadow,
  tdOutline,
  tdExtrude,
  tdExtrudeEnh,
};
enum TFxThreeDOrientation : std::uint8_t { toBottomLeft, toBottomRight, toTopLeft, toTopRight };

// Base of the settings objects. Changed first lets the object recompute what
// it derives from its fields, then calls OnChange unless an update is in
// progress. The update flag is one Boolean, not a counter.
class TFxObject : public TPersistent {
 public:
  TNotifyEvent OnChange;

  void BeginUpdate() { updating_ = true; }
  // Ends the update; with notify, reports one change.
  void EndUpdate(bool notify);
  bool Updating() const { return updating_; }
  virtual void Changed();

 protected:
  // The common setter: stores a different value and reports the change.
  template <class T, class V>
  void SetField(T& field, const V& value) {
    if (field == value) return;
    field = value;
    Changed();
  }

 private:
  bool updating_ = false;
};

// A frame around a rectangle, and the rectangle inside it.
class TFxBevel : public TFxObject {
 public:
  TFxBevel();

  // Setting either style to bvShadow sets both; leaving bvShadow on one
  // sets the other to bvNone.
  TFxBevelStyle StyleInner() const { return styleInner_; }
  void SetStyleInner(TFxBevelStyle value);
  TFxBevelStyle StyleOuter() const { return styleOuter_; }
  void SetStyleOuter(TFxBevelStyle value);
  // 0 .. 50.
  int WidthInner() const { return widthInner_; }
  void SetWidthInner(int value);
  int WidthOuter() const { return widthOuter_; }
  void SetWidthOuter(int value);
  TColor BorderColor() const { return borderColor_; }
  void SetBorderColor(TColor value) { SetField(borderColor_, value); }
  // Rings drawn inside every mode's frame, and between the custom styles;
  // 0 .. 255.
  int BorderInnerWidth() const { return borderInnerWidth_; }
  void SetBorderInnerWidth(int value);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int value);
  // Sides and kind of the bmEdge edge; stored without notice in other modes.
  TFxFrameSides BorderSides() const { return borderSides_; }
  void SetBorderSides(TFxFrameSides value);
  TFxEdgeStyle EdgeStyle() const { return edgeStyle_; }
  void SetEdgeStyle(TFxEdgeStyle value);
  TColor LightColor() const { return lightColor_; }
  void SetLightColor(TColor value) { SetField(lightColor_, value); }
  TColor ShadowColor() const { return shadowColor_; }
  void SetShadowColor(TColor value) { SetField(shadowColor_, value); }
  TFxBevelMode Mode() const { return mode_; }
  void SetMode(TFxBevelMode value) { SetField(mode_, value); }
  // The bmStandard frame; stored without notice in other modes.
  TFxBorderStyle StandardStyle() const { return standardStyle_; }
  void SetStandardStyle(TFxBorderStyle value);

  // The frame's width on the left and top (and, except for a shadow, on the
  // right and bottom), and on the right and bottom. Recomputed by Changed.
  int BevelExtent() const { return bevelExtent_; }
  int FarExtent() const { return farExtent_; }

  // Set by an owner whose platform draws a bmWindows border itself (then
  // the bevel takes no room for it).
  bool SystemBorder() const { return systemBorder_; }
  void SetSystemBorder(bool value) { SetField(systemBorder_, value); }

  void Changed() override;
  // From another TFxBevel: copies every setting and reports one change.
  void Assign(const TPersistent* source) override;

 private:
  void ComputeExtents();

  TFxBevelStyle styleInner_ = bvNone;
  TFxBevelStyle styleOuter_ = bvNone;
  int widthInner_ = 1;
  int widthOuter_ = 1;
  TColor borderColor_ = clBtnFace;
  int borderInnerWidth_ = 0;
  int borderWidth_ = 0;
  TFxFrameSides borderSides_{fsBottom, fsLeft, fsRight, fsTop};
  TFxEdgeStyle edgeStyle_ = etEtched;
  int bevelExtent_ = 0;
  int farExtent_ = 0;
  TColor lightColor_ = clBtnHighlight;
  TFxBevelMode mode_ = bmCustom;
  TColor shadowColor_ = clBtnShadow;
  TFxBorderStyle standardStyle_ = lsSingleLowered;
  bool systemBorder_ = false;
};

// A ramp of colours: from Color to EndColor in ColorCount steps, or through
// the stops of Colors. The colour list always matches the settings.
class TFxGradient : public TFxObject {
 public:
  TFxGradient();

  // 2 .. 236.
  int ColorCount() const { return colorCount_; }
  void SetColorCount(int value);
  TColor Color() const { return color_; }
  void SetColor(TColor value) { SetField(color_, value); }
  TColor EndColor() const { return endColor_; }
  void SetEndColor(TColor value) { SetField(endColor_, value); }
  // Stored: surfaces of 32-bit pixels need no palette.
  bool PaletteRealize() const { return paletteRealize_; }
  void SetPaletteRealize(bool value) { SetField(paletteRealize_, value); }
  TFxGradientStyle Style() const { return style_; }
  void SetStyle(TFxGradientStyle value) { SetField(style_, value); }
  // Stops of the multi-colour ramp.
  const std::vector<TColor>& Colors() const { return colors_; }
  void SetColors(const std::vector<TColor>& value) { SetField(colors_, value); }
  bool TwoColors() const { return twoColors_; }
  void SetTwoColors(bool value) { SetField(twoColors_, value); }

  // The steps painted, as direct colours.
  const std::vector<TColor>& ColorList() const { return colorList_; }

  void Changed() override;
  void Assign(const TPersistent* source) override;

 private:
  void BuildColorList();

  int colorCount_ = 16;
  TColor color_ = clBlue;
  TColor endColor_ = clBlack;
  bool paletteRealize_ = false;
  TFxGradientStyle style_ = gstVertical;
  std::vector<TColor> colors_;
  bool twoColors_ = true;
  std::vector<TColor> colorList_;
};

// How a shape is filled: a brush, a picture or a gradient.
class TFxShapeFill : public TFxObject {
 public:
  TFxShapeFill();
  ~TFxShapeFill() override;

  TBitmap* Bitmap() { return &bitmap_; }
  const TBitmap* Bitmap() const { return &bitmap_; }
  void SetBitmap(const TBitmap* value);
  TFxGradient* Gradient() { return &gradient_; }
  const TFxGradient* Gradient() const { return &gradient_; }
  void SetGradient(const TFxGradient* value) { gradient_.Assign(value); }
  TFxFillStyle Style() const { return style_; }
  void SetStyle(TFxFillStyle value) { SetField(style_, value); }
  TFxTileMode TileMode() const { return tileMode_; }
  void SetTileMode(TFxTileMode value) { SetField(tileMode_, value); }
  // The picture of sfBitmapList (an image taken from an image list).
  TBitmap* ListBitmap() { return &listBitmap_; }
  const TBitmap* ListBitmap() const { return &listBitmap_; }
  void SetListBitmap(const TBitmap* value);

  void Assign(const TPersistent* source) override;

 protected:
  void CopyFrom(const TFxShapeFill& other);
  TFxFillStyle style_ = sfBrush;

 private:
  void PartChanged(TObject*) { Changed(); }

  TBitmap bitmap_;
  TFxGradient gradient_;
  TFxTileMode tileMode_ = tmTile;
  TBitmap listBitmap_;
};

// A shape fill with its brush, placement of a picture and options.
class TFxFillObject : public TFxShapeFill {
 public:
  TFxFillObject();
  ~TFxFillObject() override;

  TFxAlignment Alignment() const { return alignment_; }
  void SetAlignment(TFxAlignment value) { SetField(alignment_, value); }
  int OffsetX() const { return offsetX_; }
  void SetOffsetX(int value) { SetField(offsetX_, value); }
  int OffsetY() const { return offsetY_; }
  void SetOffsetY(int value) { SetField(offsetY_, value); }
  TBrush* Brush() { return &brush_; }
  const TBrush* Brush() const { return &brush_; }
  void SetBrush(const TBrush* value) { brush_.Assign(value); }
  TFxFillOptions Options() const { return options_; }
  void SetOptions(TFxFillOptions value) { SetField(options_, value); }

  void Assign(const TPersistent* source) override;

 private:
  void BrushChanged(TObject*) { Changed(); }

  TFxAlignment alignment_ = agTopLeft;
  int offsetX_ = 0;
  int offsetY_ = 0;
  TBrush brush_;
  TFxFillOptions options_{foFillInner, foGrUseBitmap};
};

// Effects of single-line text: raised, sunken, shadowed... and how disabled
// text looks.
class TFx3DCaption : public TFxObject {
 public:
  TFxDisabledStyle DisabledStyle() const { return disabledStyle_; }
  void SetDisabledStyle(TFxDisabledStyle value) { SetField(disabledStyle_, value); }
  int LightDepth() const { return lightDepth_; }
  void SetLightDepth(int value) { SetField(lightDepth_, static_cast<std::uint8_t>(value)); }
  int ShadowDepth() const { return shadowDepth_; }
  void SetShadowDepth(int value) { SetField(shadowDepth_, static_cast<std::uint8_t>(value)); }
  TColor LightColor() const { return lightColor_; }
  void SetLightColor(TColor value) { SetField(lightColor_, value); }
  TColor ShadowColor() const { return shadowColor_; }
  void SetShadowColor(TColor value) { SetField(shadowColor_, value); }
  TFxThreeDStyle Style() const { return style_; }
  void SetStyle(TFxThreeDStyle value) { SetField(style_, value); }
  // Where the light comes from.
  TFxThreeDOrientation Orientation() const { return orientation_; }
  void SetOrientation(TFxThreeDOrientation value) { SetField(orientation_, value); }
  // Extra pixels between characters.
  int Tracing() const { return tracing_; }
  void SetTracing(int value) { SetField(tracing_, value); }

  void Assign(const TPersistent* source) override;

 private:
  TFxDisabledStyle disabledStyle_ = dsAuto;
  std::uint8_t lightDepth_ = 1;
  std::uint8_t shadowDepth_ = 1;
  TColor lightColor_ = clBtnHighlight;
  TColor shadowColor_ = clBtnShadow;
  TFxThreeDStyle style_ = tdNone;
  TFxThreeDOrientation orientation_ = toTopLeft;
  int tracing_ = 0;
};
