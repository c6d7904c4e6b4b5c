// What a person would see of the program, for tests and tools on Linux.
//
// Not part of the Windows interface and never included by portable code: only
// tests, tools and the platform itself use it.
#pragma once

#include <cstdint>
#include <string>

namespace observe {

// Writes width x height pixels as an 8-bit RGB PNG file. Pixels are 32-bit
// 0xAARRGGBB values, rows top to bottom, stride = width (the layout of the
// class library's bitmaps); alpha is dropped. Returns false, with the file
// removed, when it cannot be written.
bool writePng(const std::string& path, int width, int height, const std::uint32_t* pixels);

}  // namespace observe
