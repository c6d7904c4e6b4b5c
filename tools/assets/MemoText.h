// Widths of Windows-1252 texts in a TrueType face at a pixel height, as the
// memo that shows the legal notice lays them out.
#pragma once

#include <string>
#include <string_view>

struct FT_LibraryRec_;
struct FT_FaceRec_;

// The memo of the main window that shows the legal notice: its face, its
// character (em) height and its width in pixels. A line wider than the text
// width would wrap; the memo keeps a margin of two pixels at either side.
inline constexpr const char* kMemoFontFile = "/usr/share/wine/fonts/ms_sans_serif.ttf";
inline constexpr int kMemoFontHeight = 11;
inline constexpr int kMemoWidth = 273;
inline constexpr int kMemoTextWidth = kMemoWidth - 4;

class TextMeasure {
 public:
  // pixelHeight is the character height, as a negative font height asks of
  // Windows. Throws std::runtime_error when the face cannot be opened or has
  // no such size.
  TextMeasure(const std::string& fontFile, int pixelHeight);
  TextMeasure(const TextMeasure&) = delete;
  TextMeasure& operator=(const TextMeasure&) = delete;
  ~TextMeasure();

  // Sum of the hinted advances in whole pixels, without kerning: a text line
  // of an edit control is laid out glyph after glyph.
  int Width(std::string_view cp1252) const;

 private:
  FT_LibraryRec_* library_ = nullptr;
  FT_FaceRec_* face_ = nullptr;
};

// The Unicode code point of a Windows-1252 byte; 0 for the five bytes the code
// page leaves undefined.
char32_t Cp1252ToUnicode(unsigned char byte);

