// Encoders for the generated pictures. Both write the same bytes for the same
// pixels on every run: no time stamps, no text chunks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Pixels top row first, four bytes each.
struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;  // red, green, blue, straight alpha
};

// Pixels top row first, three bytes each.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

// A 32-bit PNG with alpha. Throws std::runtime_error on failure.
std::vector<std::uint8_t> EncodePng(const RgbaImage& image);

// A progressive JPEG whose quantisation tables are the standard ones scaled
// by a percentage (libjpeg's linear quality: 100 is the standard table, 50
// half of it), the luminance and the chrominance table each by its own.
// Throws std::runtime_error on failure.
std::vector<std::uint8_t> EncodeProgressiveJpeg(const RgbImage& image, int lumaScale, int chromaScale);

// A Windows icon file holding the images (each at most 256 pixels square) as
// 32-bit device-independent bitmaps with their transparency masks, the form
// every Windows version reads.
std::vector<std::uint8_t> EncodeIco(const std::vector<RgbaImage>& images);

// Throws std::runtime_error when the file cannot be written.
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// The pixels of a PNG, converted to 32 bits with alpha. Throws
// std::runtime_error on a damaged file.
RgbaImage DecodePng(const std::vector<std::uint8_t>& bytes);

struct DecodedJpeg {
  RgbImage image;
  bool progressive;
};

// Throws std::runtime_error on a damaged file.
DecodedJpeg DecodeJpeg(const std::vector<std::uint8_t>& bytes);
