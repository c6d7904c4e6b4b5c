// What the desktop shows of a window, for tests and the capture on request.
#include "platform/Observe.h"
#include "platform/posix/Internal.h"

namespace observe {

bool viewWindow(HWND hwnd, WindowView& view) {
  win32::Window* w = win32::findWindow(hwnd);
  if (!w || w->destroying) return false;
  view.title = w->title;
  view.visible = w->visible;
  view.minimized = (w->style & WS_MINIMIZE) != 0;
  view.maximized = w->maximized;
  view.left = w->rect.left;
  view.top = w->rect.top;
  view.width = w->rect.right - w->rect.left;
  view.height = w->rect.bottom - w->rect.top;
  view.style = w->style;
  std::vector<std::uint32_t> iconPixels;
  if (!w->icon || !win32::iconPixels(w->icon, view.iconWidth, view.iconHeight, iconPixels))
    view.iconWidth = view.iconHeight = 0;
  view.pixels = w->pixels;
  return true;
}

bool captureWindow(HWND hwnd, const std::string& path) {
  WindowView view;
  if (!viewWindow(hwnd, view) || view.pixels.empty()) return false;
  return writePng(path, view.width, view.height, view.pixels.data());
}

}  // namespace observe
