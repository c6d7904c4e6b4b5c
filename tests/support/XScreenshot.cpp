// x-screenshot OUT.png [X Y WIDTH HEIGHT]: what the X server of $DISPLAY
// shows on its root window (all of it, or the given area) as a PNG file. The
// display tests use it to check, independently of the program's own capture,
// that a window's pixels reached the screen. Exits 1 on any failure.
#include "platform/Observe.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2 && argc != 6) {
    std::fprintf(stderr, "usage: x-screenshot OUT.png [X Y WIDTH HEIGHT]\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "x-screenshot: cannot open the display\n");
    return 1;
  }
  const Window root = DefaultRootWindow(display);
  XWindowAttributes attributes;
  XGetWindowAttributes(display, root, &attributes);
  int x = 0, y = 0, width = attributes.width, height = attributes.height;
  if (argc == 6) {
    x = std::atoi(argv[2]);
    y = std::atoi(argv[3]);
    width = std::atoi(argv[4]);
    height = std::atoi(argv[5]);
  }
  XImage* image = width > 0 && height > 0 ? XGetImage(display, root, x, y, static_cast<unsigned>(width),
                                                      static_cast<unsigned>(height), AllPlanes, ZPixmap)
                                          : nullptr;
  if (!image) {
    std::fprintf(stderr, "x-screenshot: cannot read the area\n");
    XCloseDisplay(display);
    return 1;
  }
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col) {
      const unsigned long p = XGetPixel(image, col, row);
      const auto channel = [p](unsigned long mask) {
        int shift = 0;
        while (mask && !(mask & 1)) {
          mask >>= 1;
          ++shift;
        }
        return static_cast<std::uint32_t>(((p >> shift) & mask) * 255 / (mask ? mask : 1));
      };
      pixels[static_cast<std::size_t>(row) * width + col] =
          0xFF000000u | channel(image->red_mask) << 16 | channel(image->green_mask) << 8 | channel(image->blue_mask);
    }
  XDestroyImage(image);
  XCloseDisplay(display);
  return observe::writePng(argv[1], width, height, pixels.data()) ? 0 : 1;
}
