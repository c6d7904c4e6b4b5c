// PNG files into bitmaps, through libpng.
#include "classlib/Graphics.h"

#include <png.h>

#include <utility>
#include <vector>

void TBitmap::LoadFromPng(const unsigned char* data, std::size_t size) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!data || !png_image_begin_read_from_memory(&png, data, size))
    throw EInvalidGraphic(std::string("PNG image: ") + (data ? png.message : "no data"));
  // B, G, R, A in memory: the bitmap's 0xAARRGGBB pixels.
  png.format = PNG_FORMAT_BGRA;
  if (png.width > 0x4000 || png.height > 0x4000) {
    png_image_free(&png);
    throw EInvalidGraphic("PNG image: too large");
  }
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(png.width) * png.height);
  if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr))
    throw EInvalidGraphic(std::string("PNG image: ") + png.message);
  TakePixels(static_cast<int>(png.width), static_cast<int>(png.height), std::move(pixels));
  alphaFormat_ = afDefined;
}
