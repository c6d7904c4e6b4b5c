// Device contexts of windows, pixels into windows, icons and screen metrics.
//
// A window's device context is the window itself: SetDIBitsToDevice copies
// into the pixels the window shows (Window::pixels), from which the display
// and the capture take them.
#include "platform/posix/Internal.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace win32 {

namespace {

struct Icon {
  int width;
  int height;
  std::vector<std::uint32_t> pixels;
};

std::mutex gIconsMutex;
std::map<UINT_PTR, Icon> gIcons;
UINT_PTR gNextIcon = 0x30000;

HWND windowOfDc(HDC dc) { return reinterpret_cast<HWND>(dc); }

}  // namespace

bool iconPixels(HICON icon, int& width, int& height, std::vector<std::uint32_t>& pixels) {
  std::lock_guard lock(gIconsMutex);
  auto it = gIcons.find(reinterpret_cast<UINT_PTR>(icon));
  if (it == gIcons.end()) return false;
  width = it->second.width;
  height = it->second.height;
  pixels = it->second.pixels;
  return true;
}

}  // namespace win32

using namespace win32;

HDC WINAPI GetDC(HWND hwnd) {
  if (!findWindow(hwnd)) {
    setLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return reinterpret_cast<HDC>(hwnd);
}

int WINAPI ReleaseDC(HWND hwnd, HDC dc) { return dc && findWindow(hwnd) ? 1 : 0; }

// 32-bit uncompressed DIBs only, the layout of the class library's bitmaps.
// A negative height means rows top first (ySrc counts from the top); a
// positive one rows bottom first (ySrc counts from the bottom, as Windows
// does). Returns the number of scan lines copied.
int WINAPI SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc, UINT,
                             UINT, LPCVOID bits, const BITMAPINFO* info, UINT) {
  Window* w = findWindow(windowOfDc(dc));
  if (!w || !bits || !info || info->bmiHeader.biBitCount != 32 || info->bmiHeader.biCompression != BI_RGB)
    return 0;
  const int dibWidth = info->bmiHeader.biWidth;
  const bool topDown = info->bmiHeader.biHeight < 0;
  const int dibHeight = topDown ? -info->bmiHeader.biHeight : info->bmiHeader.biHeight;
  const int clientW = w->rect.right - w->rect.left;
  const int clientH = w->rect.bottom - w->rect.top;
  if (dibWidth <= 0 || dibHeight <= 0 || clientW <= 0 || clientH <= 0) return 0;
  const auto need = static_cast<std::size_t>(clientW) * static_cast<std::size_t>(clientH);
  if (w->pixels.size() != need) w->pixels.assign(need, 0xFF000000u);
  // The source rectangle, from the top of the DIB. Windows measures ySrc
  // from the DIB's last scan line upwards whichever way its rows are stored,
  // a top-down DIB included.
  int sx = xSrc;
  int sy = dibHeight - ySrc - static_cast<int>(height);
  int dx = xDest;
  int dy = yDest;
  int cw = static_cast<int>(std::min<DWORD>(width, 0x7FFFFFFF));
  int ch = static_cast<int>(std::min<DWORD>(height, 0x7FFFFFFF));
  // Clip against the source and the client area, moving both sides alike.
  auto clip = [](int& s, int& d, int& n, int sLimit, int dLimit) {
    if (s < 0) { d -= s; n += s; s = 0; }
    if (d < 0) { s -= d; n += d; d = 0; }
    n = std::min({n, sLimit - s, dLimit - d});
  };
  clip(sx, dx, cw, dibWidth, clientW);
  clip(sy, dy, ch, dibHeight, clientH);
  if (cw <= 0 || ch <= 0) return 0;
  const auto* src = static_cast<const std::uint32_t*>(bits);
  for (int row = 0; row < ch; ++row) {
    const int dibRow = topDown ? sy + row : dibHeight - 1 - (sy + row);
    std::memcpy(w->pixels.data() + static_cast<std::size_t>(dy + row) * clientW + dx,
                src + static_cast<std::size_t>(dibRow) * dibWidth + sx,
                static_cast<std::size_t>(cw) * sizeof(std::uint32_t));
  }
  w->changedSinceRecord = true;
  displayWindowDrawn(*w, RECT{dx, dy, dx + cw, dy + ch});
  return ch;
}

// Icons of 32 bits per pixel with alpha, rows top first (the AND mask is not
// needed then and is ignored).
HICON WINAPI CreateIcon(HINSTANCE, int width, int height, BYTE planes, BYTE bitsPixel, const BYTE*,
                        const BYTE* xorBits) {
  if (width <= 0 || height <= 0 || width > 256 || height > 256 || planes != 1 || bitsPixel != 32 || !xorBits) {
    setLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Icon icon{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height)};
  std::memcpy(icon.pixels.data(), xorBits, icon.pixels.size() * sizeof(std::uint32_t));
  std::lock_guard lock(gIconsMutex);
  const UINT_PTR id = gNextIcon++;
  gIcons.emplace(id, std::move(icon));
  return reinterpret_cast<HICON>(id);
}

BOOL WINAPI DestroyIcon(HICON icon) {
  std::lock_guard lock(gIconsMutex);
  return gIcons.erase(reinterpret_cast<UINT_PTR>(icon)) ? TRUE : FALSE;
}

// Without a display the desktop is a virtual 1024 x 768 one.
int WINAPI GetSystemMetrics(int index) {
  int width = 1024;
  int height = 768;
  displayDesktopSize(width, height);
  switch (index) {
    case SM_CXSCREEN: return width;
    case SM_CYSCREEN: return height;
    default: return 0;
  }
}
