// What the desktop shows of a window, for tests and the capture on request.
#include "platform/Observe.h"
#include "platform/posix/Internal.h"

#include <atomic>

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
  view.onDesktop = w->displayId != 0;
  view.frames = w->frames;
  return true;
}

bool captureWindow(HWND hwnd, const std::string& path) {
  WindowView view;
  if (!viewWindow(hwnd, view) || view.pixels.empty()) return false;
  return writePng(path, view.width, view.height, view.pixels.data());
}

}  // namespace observe

namespace win32 {

namespace {

class CaptureSource : public EventSource {
 public:
  CaptureSource(std::string folder, int fd) : folder_(std::move(folder)), fd_(fd) {}

  int prepare(std::vector<os::PollItem>& items) override {
    items.push_back(os::PollItem{fd_, os::kPollIn, 0});
    return -1;
  }

  void dispatch(const os::PollItem* items, std::size_t count) override {
    if (count == 0 || !(items[0].revents & os::kPollIn)) return;
    for (int requests = os::takeSignalRequests(fd_); requests > 0; --requests) captureAll(++taken_);
  }

 private:
  void captureAll(int request) {
    int k = 0;
    for (HWND hwnd : shownWindows(*currentQueue())) {
      if (findWindow(hwnd)->pixels.empty()) continue;
      const std::string name = folder_ + "/capture-" + std::to_string(request) + "-" + std::to_string(++k) + ".png";
      if (observe::captureWindow(hwnd, name + ".part")) os::renameFile(name + ".part", name);
    }
  }

  std::string folder_;
  int fd_;
  int taken_ = 0;
};

}  // namespace

void armCapture() {
  static std::atomic<bool> armed{false};
  if (armed.exchange(true)) return;
  const std::string folder = os::environment("WIN32_PLATFORM_CAPTURE_DIR");
  if (folder.empty()) return;
  const int fd = os::watchSignalRequests();
  if (fd < 0) return;
  static CaptureSource source(folder, fd);
  addEventSource(&source);
}

}  // namespace win32
