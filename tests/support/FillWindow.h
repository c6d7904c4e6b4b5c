// Fills an area of a window with one pixel value through a device context,
// as the form's painting does.
#pragma once

#include "platform/Win32.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport {

inline void FillWindow(HWND target, std::uint32_t pixel, int left, int top, int width, int height) {
  std::vector<std::uint32_t> bits(static_cast<std::size_t>(width) * height, pixel);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  HDC dc = GetDC(target);
  SetDIBitsToDevice(dc, left, top, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                    static_cast<UINT>(height), bits.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(target, dc);
}

}  // namespace testsupport
