#include "classlib/Jpeg.h"

#include <cstdio>
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>
#include <utility>
#include <vector>

namespace {

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char text[JMSG_LENGTH_MAX];
};

// libjpeg reports a fatal error by calling error_exit, which must not return:
// it jumps back to the setjmp in decode. Warnings (corrupt or truncated
// data, which libjpeg would fill with grey) are fatal here too.
void errorExit(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<JpegError*>(cinfo->err);
  cinfo->err->format_message(cinfo, error->text);
  std::longjmp(error->jump, 1);
}

void emitMessage(j_common_ptr cinfo, int level) {
  if (level < 0) errorExit(cinfo);
}

struct Decoded {
  int width = 0;
  int height = 0;
  bool progressive = false;
  std::vector<std::uint32_t> pixels;
  std::vector<JSAMPLE> row;  // one decoded scan line
};

// No object with a destructor is created between setjmp and the calls that
// may jump back to it: out is the caller's.
bool decode(const unsigned char* data, std::size_t size, Decoded& out, JpegError& error) {
  jpeg_decompress_struct cinfo{};
  cinfo.err = jpeg_std_error(&error.mgr);
  error.mgr.error_exit = errorExit;
  error.mgr.emit_message = emitMessage;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK ? JCS_CMYK
                                                                                                   : JCS_RGB;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_width > 0x4000 || cinfo.output_height > 0x4000) {
    std::strcpy(error.text, "too large");
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  out.width = static_cast<int>(cinfo.output_width);
  out.height = static_cast<int>(cinfo.output_height);
  out.progressive = cinfo.progressive_mode != 0;
  out.pixels.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
  const auto components = static_cast<std::size_t>(cinfo.output_components);
  out.row.resize(static_cast<std::size_t>(out.width) * components);
  while (cinfo.output_scanline < cinfo.output_height) {
    const auto y = static_cast<std::size_t>(cinfo.output_scanline);
    JSAMPROW rows[1] = {out.row.data()};
    jpeg_read_scanlines(&cinfo, rows, 1);
    std::uint32_t* dst = out.pixels.data() + y * static_cast<std::size_t>(out.width);
    for (std::size_t x = 0; x < static_cast<std::size_t>(out.width); ++x) {
      const JSAMPLE* p = out.row.data() + x * components;
      unsigned r = p[0], g = p[1], b = p[2];
      if (components == 4) {  // Adobe's inverted CMYK
        r = p[0] * p[3] / 255;
        g = p[1] * p[3] / 255;
        b = p[2] * p[3] / 255;
      }
      dst[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::LoadFromMemory(const unsigned char* data, std::size_t size) {
  if (!data || size == 0) throw EInvalidGraphic("JPEG image: no data");
  Decoded decoded;
  JpegError error{};
  if (!decode(data, size, decoded, error)) throw EInvalidGraphic(std::string("JPEG image: ") + error.text);
  bitmap_.TakePixels(decoded.width, decoded.height, std::move(decoded.pixels));
  progressive_ = decoded.progressive;
  scaledValid_ = false;
  Changed();
}

void TJPEGImage::Draw(TCanvas& canvas, const TRect& rect) {
  if (bitmap_.Empty() || rect.IsEmpty()) return;
  if (rect.Width() == bitmap_.Width() && rect.Height() == bitmap_.Height()) {
    canvas.Draw(rect.Left, rect.Top, bitmap_);
    return;
  }
  if (!scaledValid_ || scaled_.Width() != rect.Width() || scaled_.Height() != rect.Height()) {
    scaled_.SetSize(rect.Width(), rect.Height());
    SmoothStretch(bitmap_, scaled_);
    scaledValid_ = true;
  }
  canvas.Draw(rect.Left, rect.Top, scaled_);
}

void TJPEGImage::Assign(const TPersistent* source) {
  if (const auto* jpeg = dynamic_cast<const TJPEGImage*>(source)) {
    if (jpeg == this) return;
    bitmap_.Assign(&jpeg->bitmap_);
    progressive_ = jpeg->progressive_;
    scaledValid_ = false;
    Changed();
    return;
  }
  TGraphic::Assign(source);
}
