// The faces the program draws with must be the ones of Debian's fonts-wine
// package (on Linux from its folder, on Windows from the fonts folder that
// holds the same files). These tests fail when the faces are missing or
// their glyphs come out empty.
#include "classlib/Fonts.h"
#include "classlib/Graphics.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The file's name without its folder, which differs between the systems.
std::string FileNameOnly(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

int inkOf(const fonts::Glyph& g) {
  int n = 0;
  for (std::uint8_t c : g.coverage) n += c > 0 ? 1 : 0;
  return n;
}

TEST(Fonts, TheWindowFacesComeFromTheirFiles) {
  struct Case {
    const char* name;
    bool bold;
    const char* file;
  };
  const Case cases[] = {
      {"Tahoma", false, "tahoma.ttf"},
      {"Tahoma", true, "tahomabd.ttf"},
      {"tahoma", true, "tahomabd.ttf"},  // family names ignore case
      {"MS Sans Serif", false, "ms_sans_serif.ttf"},
  };
  for (const Case& c : cases) {
    fonts::FontInstance& font = fonts::Realize(c.name, -13, c.bold, false);
    EXPECT_EQ(FileNameOnly(font.FileName()), c.file) << c.name << (c.bold ? " bold" : "");
    EXPECT_FALSE(font.SimulatedBold()) << c.name;
    for (unsigned char ch : std::string("Ag%0")) EXPECT_GT(inkOf(font.GlyphOf(ch)), 4) << c.name << " " << ch;
  }
}

TEST(Fonts, HeightsAreTheCharacterHeightOfTheClassLibrary) {
  // Height -11 asks for characters 11 pixels high: "MS Sans Serif" has only
  // strikes, the nearest one draws them, in a 13-pixel cell.
  fonts::FontInstance& window = fonts::Realize("MS Sans Serif", -11, false, false);
  EXPECT_EQ(window.Ascent(), 11);
  EXPECT_EQ(window.Height(), 13);
  const fonts::Glyph& h = window.GlyphOf('H');
  EXPECT_EQ(h.top, 9);  // capitals 9 pixels high on the baseline
  for (std::uint8_t c : h.coverage) EXPECT_TRUE(c == 0 || c == 255) << "strikes are drawn crisp";
  // Scalable faces take the height as their em size.
  fonts::FontInstance& panel = fonts::Realize("Tahoma", -13, true, false);
  EXPECT_EQ(panel.PixelsPerEm(), 13);
  EXPECT_EQ(panel.Height(), 16);
  EXPECT_GE(panel.GlyphOf('H').rows, 8);
  // A positive height is the whole cell.
  EXPECT_EQ(fonts::Realize("Tahoma", 16, false, false).Height(), 16);
}

TEST(Fonts, AMissingFamilyFallsBackToASansFace) {
  fonts::FontInstance& font = fonts::Realize("No Such Family", -12, false, false);
  EXPECT_FALSE(font.Family().empty());
  EXPECT_NE(font.Family(), "No Such Family");
  EXPECT_GT(inkOf(font.GlyphOf('a')), 4);
}

TEST(Fonts, BoldIsSimulatedWhereAFaceHasNoBoldVersion) {
  fonts::FontInstance& regular = fonts::Realize("MS Sans Serif", -11, false, false);
  fonts::FontInstance& bold = fonts::Realize("MS Sans Serif", -11, true, false);
  EXPECT_TRUE(bold.SimulatedBold());
  EXPECT_EQ(bold.GlyphOf('l').advance, regular.GlyphOf('l').advance + 1);
  EXPECT_GT(inkOf(bold.GlyphOf('l')), inkOf(regular.GlyphOf('l')));
}

TEST(Fonts, BytesAreWindows1252) {
  EXPECT_EQ(fonts::AnsiToUnicode(0x80), U'\u20AC');
  EXPECT_EQ(fonts::AnsiToUnicode(0x92), U'\u2019');
  EXPECT_EQ(fonts::AnsiToUnicode(0xE8), U'\u00E8');
  EXPECT_EQ(fonts::UnicodeToAnsi(U'.', '?'), '.');
  EXPECT_EQ(fonts::UnicodeToAnsi(U'\u00A0', '?'), '\xA0');
  EXPECT_EQ(fonts::UnicodeToAnsi(U'\u2019', '?'), '\x92');  // the Swiss separator
  EXPECT_EQ(fonts::UnicodeToAnsi(U'\u202F', '?'), '?');     // the French one, which 1252 lacks
  fonts::FontInstance& font = fonts::Realize("Tahoma", -13, false, false);
  EXPECT_GT(inkOf(font.GlyphOf(0x80)), 4);  // the euro sign
  EXPECT_GT(inkOf(font.GlyphOf(0xE0)), 4);  // a grave
  EXPECT_EQ(font.GlyphOf('\n').advance, 0);
  EXPECT_EQ(inkOf(font.GlyphOf('\r')), 0);
}

TEST(Fonts, AFontFindsItsInstanceOnceUntilItsFaceChanges) {
  TFont font;
  font.SetName("Tahoma");
  fonts::FontInstance* first = &font.Instance();
  font.SetColor(clRed);  // colour is not part of the face
  EXPECT_EQ(&font.Instance(), first);
  font.SetStyle(TFontStyles{fsBold});
  EXPECT_NE(&font.Instance(), first);
  EXPECT_EQ(FileNameOnly(font.Instance().FileName()), "tahomabd.ttf");
}

}  // namespace
