#include "classlib/Fonts.h"

#include "platform/FontFiles.h"

#include <algorithm>
#include <cmath>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

namespace fonts {

namespace {

// The character height when a font asks for height 0.
constexpr int kDefaultEmPixels = 11;

class Engine {
 public:
  Engine() {
    if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
  }
  ~Engine() {
    instances.clear();
    if (library_) FT_Done_FreeType(library_);
  }
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  FT_Library library() const { return library_; }

  std::vector<std::unique_ptr<FontInstance>> instances;

 private:
  FT_Library library_ = nullptr;
};

Engine& engine() {
  static Engine instance;
  return instance;
}

constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int roundDiv(long long a, long long b) { return static_cast<int>((2 * a + b) / (2 * b)); }


}  // namespace

char32_t AnsiToUnicode(unsigned char ch) {
  if (ch >= 0x80 && ch < 0xA0) return kCp1252High[ch - 0x80];
  return ch;
}

char UnicodeToAnsi(char32_t ch, char missing) {
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return static_cast<char>(ch);
  for (unsigned byte = 0x80; byte < 0xA0; ++byte)
    if (kCp1252High[byte - 0x80] == ch) return static_cast<char>(byte);
  return missing;
}

struct FontInstance::Face {
  FT_Face face = nullptr;
  ~Face() {
    if (face) FT_Done_Face(face);
  }
};

FontInstance::FontInstance(const std::string& name, int height, bool bold, bool italic)
    : name_(name), height_(height), bold_(bold), italic_(italic), face_(std::make_unique<Face>()) {
  Engine& e = engine();
  const platform::FontFile match = platform::FindFontFile(name, bold, italic);
  FT_Face face = nullptr;
  if (e.library() && !match.path.empty() && FT_New_Face(e.library(), match.path.c_str(), match.index, &face) != 0)
    face = nullptr;
  if (!face) {
    const int em = height < 0 ? -height : (height > 0 ? height : kDefaultEmPixels);
    ascent_ = em;
    aveCharWidth_ = std::max(1, em / 2);
    return;
  }
  face_->face = face;
  fileName_ = match.path;
  family_ = face->family_name ? face->family_name : "";
  // What the face itself lacks is simulated (fontconfig's match reports the
  // requested weight for a face it would embolden).
  emboldened_ = bold && !(face->style_flags & FT_STYLE_FLAG_BOLD);
  slanted_ = italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);

  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const int upem = face->units_per_EM > 0 ? face->units_per_EM : 2048;
  const int winAscent = os2 ? os2->usWinAscent : face->ascender;
  const int winDescent = os2 ? os2->usWinDescent : -face->descender;
  const int cell = std::max(1, winAscent + winDescent);
  // Negative heights are the em size; positive ones the whole cell.
  double em = height < 0 ? -height : (height > 0 ? static_cast<double>(height) * upem / cell : kDefaultEmPixels);

  if (FT_IS_SCALABLE(face)) {
    ppem_ = std::max(1, static_cast<int>(std::lround(em)));
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(ppem_));
  } else if (face->num_fixed_sizes > 0) {
    // A bitmap-only face: the strike nearest in size, the smaller on a tie.
    int best = 0;
    double bestDistance = 1e9;
    for (int i = 0; i < face->num_fixed_sizes; ++i) {
      const double strikeEm = face->available_sizes[i].y_ppem / 64.0;
      const double distance = std::fabs(strikeEm - em);
      if (distance < bestDistance ||
          (distance == bestDistance && strikeEm < face->available_sizes[best].y_ppem / 64.0)) {
        best = i;
        bestDistance = distance;
      }
    }
    FT_Select_Size(face, best);
    ppem_ = static_cast<int>((face->available_sizes[best].y_ppem + 32) >> 6);
  }
  ascent_ = roundDiv(static_cast<long long>(winAscent) * ppem_, upem);
  descent_ = roundDiv(static_cast<long long>(winDescent) * ppem_, upem);
  aveCharWidth_ = os2 && os2->xAvgCharWidth > 0 ? roundDiv(static_cast<long long>(os2->xAvgCharWidth) * ppem_, upem)
                                                : 0;
  if (aveCharWidth_ <= 0) aveCharWidth_ = std::max(1, GlyphOf('x').advance);
}

FontInstance::~FontInstance() = default;

bool FontInstance::Matches(const std::string& name, int height, bool bold, bool italic) const {
  return height == height_ && bold == bold_ && italic == italic_ && platform::SameFamilyName(name, name_);
}

void FontInstance::Render(unsigned char ch) {
  ready_[ch] = true;
  Glyph& g = glyphs_[ch];
  FT_Face face = face_->face;
  if (!face || ch < 0x20) return;
  const FT_UInt index = FT_Get_Char_Index(face, AnsiToUnicode(ch));
  // Scalable faces draw from their outlines: the bitmap strikes embedded in
  // the bold Tahoma file are copies of the regular ones.
  const FT_Int32 load = FT_IS_SCALABLE(face) ? FT_LOAD_NO_BITMAP : FT_LOAD_DEFAULT;
  if (FT_Load_Glyph(face, index, load) != 0) return;
  FT_GlyphSlot slot = face->glyph;
  if (slanted_ && slot->format == FT_GLYPH_FORMAT_OUTLINE) FT_GlyphSlot_Oblique(slot);
  if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;

  const FT_Bitmap& bitmap = slot->bitmap;
  const int width = static_cast<int>(bitmap.width);
  const int rows = static_cast<int>(bitmap.rows);
  const int extra = emboldened_ ? 1 : 0;
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = width > 0 ? width + extra : 0;
  g.rows = rows;
  g.advance = static_cast<int>((slot->advance.x + 32) >> 6) + extra;
  g.coverage.assign(static_cast<std::size_t>(g.width) * static_cast<std::size_t>(rows), 0);
  for (int y = 0; y < rows; ++y) {
    const unsigned char* src = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
    std::uint8_t* dst = g.coverage.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(g.width);
    for (int x = 0; x < width; ++x) {
      unsigned value = 0;
      switch (bitmap.pixel_mode) {
        case FT_PIXEL_MODE_MONO: value = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0; break;
        case FT_PIXEL_MODE_GRAY:
          value = bitmap.num_grays == 256 ? src[x] : src[x] * 255u / std::max(1u, bitmap.num_grays - 1u);
          break;
        default: break;
      }
      dst[x] = static_cast<std::uint8_t>(value);
    }
    // Emboldening overstrikes each row one pixel to the right.
    if (extra)
      for (int x = g.width - 1; x > 0; --x) dst[x] = std::max(dst[x], dst[x - 1]);
  }
}

FontInstance& Realize(const std::string& name, int height, bool bold, bool italic) {
  Engine& e = engine();
  for (auto& instance : e.instances)
    if (instance->Matches(name, height, bold, italic)) return *instance;
  e.instances.push_back(std::make_unique<FontInstance>(name, height, bold, italic));
  return *e.instances.back();
}

}  // namespace fonts
