#include "tools/assets/ImageFiles.h"

#include <png.h>

#include <cstdio>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

std::vector<std::uint8_t> EncodePng(const RgbaImage& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&png, nullptr, &size, 0, image.rgba.data(), 0, nullptr))
    throw std::runtime_error(std::string("PNG: ") + png.message);
  std::vector<std::uint8_t> bytes(size);
  if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, image.rgba.data(), 0, nullptr))
    throw std::runtime_error(std::string("PNG: ") + png.message);
  bytes.resize(size);
  return bytes;
}

namespace {

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void JpegErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }

// libjpeg's errors jump back to the setjmp of the calling function.
jpeg_error_mgr* JumpingErrors(JpegError& error) {
  jpeg_std_error(&error.mgr);
  error.mgr.error_exit = JpegErrorExit;
  return &error.mgr;
}

// Everything that owns memory lives outside the function that calls setjmp,
// so a longjmp skips no destructor.
bool CompressJpeg(const RgbImage& image, int lumaScale, int chromaScale, unsigned char** out,
                  unsigned long* size) {
  jpeg_compress_struct cinfo{};
  JpegError error{};
  cinfo.err = JumpingErrors(error);
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, out, size);
  cinfo.image_width = static_cast<JDIMENSION>(image.width);
  cinfo.image_height = static_cast<JDIMENSION>(image.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  // At 100 the tables are the standard ones; scale each from there.
  jpeg_set_linear_quality(&cinfo, 100, TRUE);
  unsigned int standard[2][DCTSIZE2];
  for (int t = 0; t < 2; ++t)
    for (int i = 0; i < DCTSIZE2; ++i) standard[t][i] = cinfo.quant_tbl_ptrs[t]->quantval[i];
  jpeg_add_quant_table(&cinfo, 0, standard[0], lumaScale, TRUE);
  jpeg_add_quant_table(&cinfo, 1, standard[1], chromaScale, TRUE);
  jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&image.rgb[static_cast<std::size_t>(cinfo.next_scanline) * 3 *
                                                   static_cast<std::size_t>(image.width)]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

}  // namespace

std::vector<std::uint8_t> EncodeProgressiveJpeg(const RgbImage& image, int lumaScale, int chromaScale) {
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const bool ok = CompressJpeg(image, lumaScale, chromaScale, &out, &size);
  std::vector<std::uint8_t> bytes;
  if (ok) bytes.assign(out, out + size);
  std::free(out);
  if (!ok) throw std::runtime_error("JPEG compression failed");
  return bytes;
}

namespace {

void PutLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// An icon image: BITMAPINFOHEADER (height doubled for the mask), the pixels
// as blue, green, red, alpha from the bottom row up, then the mask (1 where
// fully transparent) in rows padded to 32 bits.
std::vector<std::uint8_t> IconBitmap(const RgbaImage& image) {
  std::vector<std::uint8_t> out;
  const int maskStride = (image.width + 31) / 32 * 4;
  PutLittleEndian(out, 40, 4);
  PutLittleEndian(out, static_cast<std::uint32_t>(image.width), 4);
  PutLittleEndian(out, static_cast<std::uint32_t>(image.height * 2), 4);
  PutLittleEndian(out, 1, 2);   // planes
  PutLittleEndian(out, 32, 2);  // bits per pixel
  PutLittleEndian(out, 0, 4);   // BI_RGB
  PutLittleEndian(out, static_cast<std::uint32_t>(image.width * image.height * 4 + maskStride * image.height), 4);
  for (int i = 0; i < 4; ++i) PutLittleEndian(out, 0, 4);
  for (int y = image.height - 1; y >= 0; --y)
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* p = &image.rgba[static_cast<std::size_t>((y * image.width + x) * 4)];
      out.insert(out.end(), {p[2], p[1], p[0], p[3]});
    }
  for (int y = image.height - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(maskStride), 0);
    for (int x = 0; x < image.width; ++x)
      if (image.rgba[static_cast<std::size_t>((y * image.width + x) * 4 + 3)] == 0)
        row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace

std::vector<std::uint8_t> EncodeIco(const std::vector<RgbaImage>& images) {
  std::vector<std::uint8_t> out;
  PutLittleEndian(out, 0, 2);  // reserved
  PutLittleEndian(out, 1, 2);  // an icon, not a cursor
  PutLittleEndian(out, static_cast<std::uint32_t>(images.size()), 2);
  std::vector<std::vector<std::uint8_t>> bitmaps;
  for (const RgbaImage& image : images) bitmaps.push_back(IconBitmap(image));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    out.push_back(static_cast<std::uint8_t>(images[i].width & 0xFF));  // 0 means 256
    out.push_back(static_cast<std::uint8_t>(images[i].height & 0xFF));
    out.push_back(0);  // no palette
    out.push_back(0);
    PutLittleEndian(out, 1, 2);   // planes
    PutLittleEndian(out, 32, 2);  // bits per pixel
    PutLittleEndian(out, static_cast<std::uint32_t>(bitmaps[i].size()), 4);
    PutLittleEndian(out, offset, 4);
    offset += static_cast<std::uint32_t>(bitmaps[i].size());
  }
  for (const std::vector<std::uint8_t>& bitmap : bitmaps) out.insert(out.end(), bitmap.begin(), bitmap.end());
  return out;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

RgbaImage DecodePng(const std::vector<std::uint8_t>& bytes) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size()))
    throw std::runtime_error(std::string("PNG: ") + png.message);
  png.format = PNG_FORMAT_RGBA;
  RgbaImage image{static_cast<int>(png.width), static_cast<int>(png.height), {}};
  image.rgba.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr))
    throw std::runtime_error(std::string("PNG: ") + png.message);
  return image;
}

namespace {

bool DecompressJpeg(const std::vector<std::uint8_t>& bytes, DecodedJpeg& out) {
  jpeg_decompress_struct cinfo{};
  JpegError error{};
  cinfo.err = JumpingErrors(error);
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  out.progressive = cinfo.progressive_mode != 0;
  out.image.width = static_cast<int>(cinfo.output_width);
  out.image.height = static_cast<int>(cinfo.output_height);
  out.image.rgb.resize(static_cast<std::size_t>(cinfo.output_width) * cinfo.output_height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &out.image.rgb[static_cast<std::size_t>(cinfo.output_scanline) * cinfo.output_width * 3];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return error.mgr.num_warnings == 0;  // libjpeg only warns about truncated or corrupt data
}

}  // namespace

DecodedJpeg DecodeJpeg(const std::vector<std::uint8_t>& bytes) {
  DecodedJpeg decoded{};
  if (!DecompressJpeg(bytes, decoded)) throw std::runtime_error("damaged JPEG");
  return decoded;
}
