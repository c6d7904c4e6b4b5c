// The main window's illustration: a block of glossy blue cubes with one red
// cube lifted out of it, ray cast with soft shadows and reflections.
#pragma once

#include "tools/assets/ImageFiles.h"

inline constexpr int kIllustrationWidth = 380;
inline constexpr int kIllustrationHeight = 300;

RgbImage RenderIllustration();
