// The faces and glyphs the canvas draws text with.
//
// Faces are found by the platform (platform/FontFiles.h): on Linux the faces
// of Debian's fonts-wine package (Tahoma, Tahoma Bold, MS Sans Serif) through
// fontconfig, on Windows the same families in the Windows fonts folder or the
// program's own folder, and any sans face when a family is missing. FreeType
// renders them: scalable faces as
// hinted, anti-aliased outlines; faces that hold only bitmap strikes (MS Sans
// Serif) at the strike nearest in size, crisp. A bold request on a face
// without a bold version is emboldened by one pixel.
//
// Instances (face + size + style) and their rendered glyphs are kept for the
// life of the process: after a character's first use, drawing it costs no
// look-up, file access or allocation. GUI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fonts {

// A rendered character: coverage 0 (none) to 255 (full), rows of width bytes.
struct Glyph {
  int left = 0;     // from the pen position to the first column
  int top = 0;      // from the baseline up to the first row
  int width = 0;
  int rows = 0;
  int advance = 0;  // pen movement in pixels
  std::vector<std::uint8_t> coverage;
};

// One face at one size and style.
class FontInstance {
 public:
  FontInstance(const std::string& name, int height, bool bold, bool italic);
  ~FontInstance();
  FontInstance(const FontInstance&) = delete;
  FontInstance& operator=(const FontInstance&) = delete;

  bool Matches(const std::string& name, int height, bool bold, bool italic) const;

  // Cell metrics in pixels: the text's top to its baseline, and below.
  int Ascent() const { return ascent_; }
  int Descent() const { return descent_; }
  int Height() const { return ascent_ + descent_; }
  int AverageCharWidth() const { return aveCharWidth_; }

  // The face found: its family as the face names itself, its file, and
  // whether bold is drawn by emboldening. Family is empty when no face at all
  // could be loaded (text then draws nothing).
  const std::string& Family() const { return family_; }
  const std::string& FileName() const { return fileName_; }
  bool SimulatedBold() const { return emboldened_; }
  // The em size the face is drawn at, in pixels.
  int PixelsPerEm() const { return ppem_; }

  // The glyph of a Windows-1252 character, rendered on first use. Control
  // characters (below 32) are empty and take no room.
  const Glyph& GlyphOf(unsigned char ch) {
    if (!ready_[ch]) Render(ch);
    return glyphs_[ch];
  }

 private:
  void Render(unsigned char ch);

  std::string name_;
  int height_;
  bool bold_;
  bool italic_;

  struct Face;
  std::unique_ptr<Face> face_;
  std::string family_;
  std::string fileName_;
  bool emboldened_ = false;
  bool slanted_ = false;
  int ppem_ = 0;
  int ascent_ = 0;
  int descent_ = 0;
  int aveCharWidth_ = 0;
  std::array<Glyph, 256> glyphs_;
  std::array<bool, 256> ready_{};
};

// The instance for a font description (name case-insensitive); created on
// first use, kept for the life of the process.
FontInstance& Realize(const std::string& name, int height, bool bold, bool italic);

// The Unicode character of a Windows-1252 byte, and the byte of a Unicode
// character (missing when Windows-1252 has none).
char32_t AnsiToUnicode(unsigned char ch);
char UnicodeToAnsi(char32_t ch, char missing);

}  // namespace fonts
