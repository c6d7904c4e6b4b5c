// PNG output of pixel buffers through libpng.
#include "platform/Observe.h"

#include <cstdio>
#include <vector>

#include <png.h>

namespace observe {

namespace {

struct PngWriter {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::FILE* file = nullptr;
  ~PngWriter() {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (file) std::fclose(file);
  }
};

// libpng reports errors through longjmp; the writer is set up so that no C++
// object with a destructor lives between setjmp and the calls that may jump.
bool writeRows(PngWriter& w, int width, int height, png_bytepp rows) {
  if (setjmp(png_jmpbuf(w.png))) return false;
  png_init_io(w.png, w.file);
  png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(w.png, w.info);
  png_write_image(w.png, rows);
  png_write_end(w.png, nullptr);
  return true;
}

}  // namespace

bool writePng(const std::string& path, int width, int height, const std::uint32_t* pixels) {
  if (width <= 0 || height <= 0 || !pixels) return false;
  const auto w = static_cast<std::size_t>(width);
  const auto h = static_cast<std::size_t>(height);
  std::vector<png_byte> rgb(w * h * 3);
  std::vector<png_bytep> rows(h);
  for (std::size_t y = 0; y < h; ++y) {
    png_bytep row = rgb.data() + y * w * 3;
    rows[y] = row;
    for (std::size_t x = 0; x < w; ++x) {
      const std::uint32_t p = pixels[y * w + x];
      row[x * 3] = static_cast<png_byte>(p >> 16);
      row[x * 3 + 1] = static_cast<png_byte>(p >> 8);
      row[x * 3 + 2] = static_cast<png_byte>(p);
    }
  }
  bool ok = false;
  {
    PngWriter writer;
    writer.file = std::fopen(path.c_str(), "wb");
    if (writer.file) {
      writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
      if (writer.png) writer.info = png_create_info_struct(writer.png);
      if (writer.info) ok = writeRows(writer, width, height, rows.data());
      if (ok) {
        ok = std::fclose(writer.file) == 0;
        writer.file = nullptr;
      }
    }
  }
  if (!ok) std::remove(path.c_str());
  return ok;
}

}  // namespace observe
