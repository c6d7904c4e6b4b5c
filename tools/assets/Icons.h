// The small pictures of the main window, drawn on a 16 x 16 design grid.
#pragma once

#include "tools/assets/ImageFiles.h"

#include <vector>

inline constexpr int kListIcons = 7;

// ImageList1's images, 16 x 16: 0 check mark; 1 to 5 the download gauge from
// almost empty to full; 6 gear with a downward arrow.
RgbaImage ListIcon(int index);

// The window's and the program's icon, a bar chart with a plus sign, drawn at
// size x size pixels.
RgbaImage WindowIcon(int size);
