// The pictures and the text built into the program: the list's icons, the
// window's icon, the illustration and the legal notice. The bytes are the
// files of app/assets, embedded when the program is built, and live as long
// as the program.
#pragma once

#include <cstddef>

struct AssetData {
  const unsigned char* data;
  std::size_t size;
};

inline constexpr int kListIconCount = 7;

// ImageList1's image index (0 to 6) as a 16 x 16 PNG with alpha: 0 check
// mark, 1 to 5 the frames of the download gauge from almost empty to full, 6
// gear with a downward arrow. Throws std::out_of_range for other indexes.
AssetData ListIcon(int index);

// The window's and the program's icon, a PNG with alpha of size x size pixels,
// drawn at 16, 32 and 48. Throws std::out_of_range for other sizes.
AssetData WindowIcon(int size = 16);

// The picture shown by Image2: a progressive JPEG of 380 x 300 pixels.
AssetData Illustration();

// The legal notice for Memo1: seven lines of Windows-1252 text, each ended by
// a line feed, padded with spaces to look justified in the memo.
AssetData LegalNotice();
