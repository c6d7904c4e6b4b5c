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

constexpr int kRecordMs = 50;

// Capture on request (SIGUSR1) and recording of every change.
class CaptureSource : public EventSource {
 public:
  CaptureSource(std::string captureFolder, int fd, std::string recordFolder)
      : captureFolder_(std::move(captureFolder)), fd_(fd), recordFolder_(std::move(recordFolder)) {}

  bool recording() const { return !recordFolder_.empty(); }

  int prepare(std::vector<os::PollItem>& items) override {
    if (fd_ >= 0) items.push_back(os::PollItem{fd_, os::kPollIn, 0});
    if (!recording() || !anyChanged()) return -1;
    const std::int64_t wait = lastRecord_ + kRecordMs - os::monotonicMs();
    return wait <= 0 ? 0 : static_cast<int>(wait);
  }

  void dispatch(const os::PollItem* items, std::size_t count) override {
    if (fd_ >= 0 && count > 0 && (items[0].revents & os::kPollIn)) {
      for (int requests = os::takeSignalRequests(fd_); requests > 0; --requests)
        writeAll(captureFolder_, "capture", ++captures_, false);
    }
    if (recording() && anyChanged() && os::monotonicMs() - lastRecord_ >= kRecordMs) record();
  }

  // The last picture of a window that goes, when it changed since the last
  // record.
  void closing(Window& w) {
    if (!recording() || !w.changedSinceRecord || w.pixels.empty()) return;
    w.changedSinceRecord = false;
    const std::string name = recordFolder_ + "/record-" + std::to_string(++records_) + "-1.png";
    const int width = w.rect.right - w.rect.left;
    const int height = w.rect.bottom - w.rect.top;
    if (w.pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) return;
    if (observe::writePng(name + ".part", width, height, w.pixels.data())) os::renameFile(name + ".part", name);
  }

 private:
  void record() {
    lastRecord_ = os::monotonicMs();
    writeAll(recordFolder_, "record", ++records_, true);
  }

  bool anyChanged() {
    for (HWND hwnd : shownWindows(*currentQueue()))
      if (Window* w = findWindow(hwnd); w && w->changedSinceRecord) return true;
    return false;
  }

  void writeAll(const std::string& folder, const char* kind, int n, bool clear) {
    int k = 0;
    for (HWND hwnd : shownWindows(*currentQueue())) {
      Window* w = findWindow(hwnd);
      if (!w || w->pixels.empty()) continue;
      if (clear) w->changedSinceRecord = false;
      write(hwnd, folder + "/" + kind + "-" + std::to_string(n) + "-" + std::to_string(++k) + ".png");
    }
  }

  static void write(HWND hwnd, const std::string& name) {
    if (observe::captureWindow(hwnd, name + ".part")) os::renameFile(name + ".part", name);
  }

  std::string captureFolder_;
  int fd_;
  std::string recordFolder_;
  int captures_ = 0;
  int records_ = 0;
  std::int64_t lastRecord_ = 0;
};

CaptureSource* gCapture = nullptr;

}  // namespace

void armCapture() {
  static std::atomic<bool> armed{false};
  if (armed.exchange(true)) return;
  const std::string captureFolder = os::environment("WIN32_PLATFORM_CAPTURE_DIR");
  const std::string recordFolder = os::environment("WIN32_PLATFORM_RECORD_DIR");
  if (captureFolder.empty() && recordFolder.empty()) return;
  const int fd = captureFolder.empty() ? -1 : os::watchSignalRequests();
  static CaptureSource source(captureFolder, fd, recordFolder);
  gCapture = &source;
  addEventSource(&source);
}

void captureWindowClosing(Window& window) {
  if (gCapture) gCapture->closing(window);
}

}  // namespace win32
