#include "tools/assets/MemoText.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <array>
#include <cstdlib>
#include <stdexcept>

namespace {

// Bytes 0x80..0x9F of Windows-1252; the rest of the page is Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

char32_t Cp1252ToUnicode(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80];
  return byte;
}

TextMeasure::TextMeasure(const std::string& fontFile, int pixelHeight) {
  if (FT_Init_FreeType(&library_) != 0) throw std::runtime_error("FreeType does not start");
  if (FT_New_Face(library_, fontFile.c_str(), 0, &face_) != 0) {
    FT_Done_FreeType(library_);
    throw std::runtime_error("cannot open the font " + fontFile);
  }
  FT_Error error = 0;
  if (FT_IS_SCALABLE(face_)) {
    error = FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(pixelHeight));
  } else {
    // A bitmap face (MS Sans Serif is one) has a few strikes named by their
    // cell height (13, 16, 20). The character height leaves out the internal
    // leading, which in these faces equals the descent, so it is the ascent.
    int best = 0, bestGap = 1 << 30;
    for (int i = 0; i < face_->num_fixed_sizes; ++i) {
      if (FT_Select_Size(face_, i) != 0) continue;
      const int gap = std::abs(static_cast<int>(face_->size->metrics.ascender >> 6) - pixelHeight);
      if (gap < bestGap) {
        best = i;
        bestGap = gap;
      }
    }
    error = FT_Select_Size(face_, best);
  }
  if (error != 0) {
    FT_Done_Face(face_);
    FT_Done_FreeType(library_);
    throw std::runtime_error("the font " + fontFile + " has no size " + std::to_string(pixelHeight));
  }
}

TextMeasure::~TextMeasure() {
  FT_Done_Face(face_);
  FT_Done_FreeType(library_);
}

int TextMeasure::Width(std::string_view cp1252) const {
  int width = 0;
  for (char c : cp1252) {
    if (FT_Load_Char(face_, Cp1252ToUnicode(static_cast<unsigned char>(c)), FT_LOAD_DEFAULT) != 0) continue;
    width += static_cast<int>((face_->glyph->advance.x + 32) >> 6);
  }
  return width;
}
