// The drawing routines of the widgets' settings objects. All draw on a
// canvas of the class library; rectangles exclude their right and bottom
// edges. Empty rectangles, texts and colour lists draw nothing; none of them
// raises errors of its own.
#pragma once

#include "widgets/FxSettings.h"

#include <string>
#include <vector>

// Draws the bevel's frame around rect and returns the rectangle inside it.
// With transparent, border rings are not painted (the rectangle still
// shrinks). A bevel whose BevelExtent is 0 draws nothing and returns rect.
TRect PaintBevel(const TFxBevel& bevel, TCanvas& canvas, const TRect& rect, bool transparent);

// One bevel style of width w in the given colours; rect shrinks by what was
// drawn (w, or w + 1 for the frame styles). False when nothing was drawn
// (w = 0, bvNone, bvShadow).
bool DrawBevelStyle(TCanvas& canvas, TRect& rect, TFxBevelStyle style, int width, TColor shadowColor,
                    TColor lightColor);

// The system 3D frame of a border style; rect shrinks by its width.
void DrawBorderStyle(TCanvas& canvas, TRect& rect, TFxBorderStyle style);
// 0 for lsNone; 1 for lsSingle, lsSingleRaised and lsSingleLowered; 2 else.
int BorderStyleWidth(TFxBorderStyle style);

// Paints rect as the fill says; backColor goes to the pen (brush fills) and
// behind pictures that do not cover rect. False for sfNone and an empty
// picture.
bool PaintFill(const TFxFillObject& fill, TCanvas& canvas, const TRect& rect, TColor backColor);

// Appends to list the ramp from start to end in count steps: step i has, per
// channel, start + MulDiv(i, end - start, count - 1) (halves away from zero),
// reduced to 8 bits. includeFirst clears the list first and includes step 0;
// without it the ramp starts at step 1. No list or a count of 0 leaves the
// list untouched; a count of 1 gives start alone.
void BuildColorRamp(TColor start, TColor end, int count, bool includeFirst, std::vector<TColor>* list);

// Paints the colour list over rect. Horizontal: entry i fills the band from
// MulDiv(i, W, N) to MulDiv(i + 1, W, N) (entry 0 at the left); vertical
// likewise from the top. With useBitmap the bands are composed in a bitmap
// of rect's size and copied in one operation. realizePalette is accepted for
// the settings' sake; 32-bit surfaces need no palette.
void FillGradient(TCanvas& canvas, const TRect& rect, TFxGradientStyle style, bool useBitmap, bool realizePalette,
                  const std::vector<TColor>& colors);

// Draws one text into target with DT_* layout flags. With clip, drawing is
// clipped to clipRect (or to target when clipRect is null) for the call and
// the clip is removed afterwards. The text is drawn in the canvas font colour
// on a transparent background; with settings, disabled text (enabled false)
// is grey unless settings say dsNone, Tracing adds pixels between
// characters, and the 3D styles add their layers.
void DrawCaption3D(TCanvas& canvas, const std::string& text, const TFx3DCaption* settings, const TRect* clipRect,
                   bool clip, bool enabled, unsigned flags, const TRect& target);

// The text layout flags of an alignment: its horizontal and vertical
// placement, single line, expanded tabs and no prefix processing.
unsigned AlignmentTextFlags(TFxAlignment alignment);
