// Top-level windows on the desktop.
//
// The display is an event source of the pump of the thread that showed the
// first window. Drawing into a window (SetDIBitsToDevice) only marks an area;
// the source brings marked areas to the screen at most every kFrameMs, and a
// whole window at once when the desktop exposes it. While windows are on the
// desktop it asks the pump to wake every kFrameMs to take the desktop's
// events. Without a desktop nothing of this runs.
#include "platform/posix/Internal.h"
#include "platform/posix/OsDisplay.h"

#include <algorithm>

namespace win32 {

namespace {

constexpr int kFrameMs = 16;

HWND handleOf(const Window& w) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(w.id)); }

// The caption's buttons come from the style as Windows draws them: the
// minimise and maximise boxes only beside a system menu, and never on a tool
// window. What the desktop may do also needs the command in the system menu,
// except minimising, which belongs to the minimise box alone.
os::display::Frame frameOf(const Window& w) {
  const HWND hwnd = handleOf(w);
  const bool boxes = (w.style & WS_SYSMENU) != 0 && !(w.exStyle & WS_EX_TOOLWINDOW);
  os::display::Frame f;
  f.caption = (w.style & WS_CAPTION) == WS_CAPTION;
  f.tool = (w.exStyle & WS_EX_TOOLWINDOW) != 0;
  f.sizingBorder = (w.style & WS_THICKFRAME) != 0;
  f.menuButton = (w.style & WS_SYSMENU) != 0;
  f.minimizeButton = boxes && (w.style & WS_MINIMIZEBOX) != 0;
  f.maximizeButton = boxes && (w.style & WS_MAXIMIZEBOX) != 0;
  f.canMove = systemMenuHolds(hwnd, SC_MOVE);
  f.canSize = f.sizingBorder && systemMenuHolds(hwnd, SC_SIZE);
  f.canMinimize = f.minimizeButton;
  f.canMaximize = f.maximizeButton && systemMenuHolds(hwnd, SC_MAXIMIZE);
  f.canClose = systemMenuHasCommand(hwnd, SC_CLOSE);
  return f;
}

class Display : public EventSource {
 public:
  static Display& instance() {
    static Display display;
    return display;
  }

  // Opens the desktop on the calling thread, once; false when headless or
  // when another thread owns the display.
  bool ready() {
    if (!os::display::open()) return false;
    if (!queue_) {
      queue_ = currentQueue();
      addEventSource(this);
    }
    return queue_ == currentQueue();
  }

  void changed(Window& w) {
    const bool wanted = w.visible && w.parent == nullptr && !(w.style & WS_CHILD) && w.rect.right > w.rect.left &&
                        w.rect.bottom > w.rect.top;
    if (!wanted) {
      if (w.displayId) os::display::setVisible(w.displayId, false);
      return;
    }
    if (!ready() || w.queue != queue_) return;
    const int width = w.rect.right - w.rect.left;
    const int height = w.rect.bottom - w.rect.top;
    if (!w.displayId) {
      w.displayId = os::display::createWindow(w.title, w.rect.left, w.rect.top, width, height, frameOf(w));
      if (!w.displayId) return;
      shown_.push_back(handleOf(w));
    } else {
      os::display::setTitle(w.displayId, w.title);
      os::display::setFrame(w.displayId, frameOf(w));
      os::display::setPlace(w.displayId, w.rect.left, w.rect.top, width, height);
    }
    int iw = 0, ih = 0;
    std::vector<std::uint32_t> icon;
    if (w.icon && iconPixels(w.icon, iw, ih, icon)) os::display::setIcon(w.displayId, iw, ih, icon.data());
    os::display::setVisible(w.displayId, true);
    w.dirty = RECT{0, 0, width, height};
  }

  void destroyed(Window& w) {
    if (!w.displayId) return;
    os::display::destroyWindow(w.displayId);
    w.displayId = 0;
    std::erase(shown_, handleOf(w));
  }

  int prepare(std::vector<os::PollItem>&) override {
    if (shown_.empty()) return -1;
    if (!anyDirty()) return kFrameMs;
    return static_cast<int>(std::clamp<std::int64_t>(lastFrame_ + kFrameMs - os::monotonicMs(), 0, kFrameMs));
  }

  void dispatch(const os::PollItem*, std::size_t) override {
    if (shown_.empty()) return;
    const std::int64_t now = os::monotonicMs();
    events_.clear();
    os::display::pollEvents(events_);
    for (const os::display::Event& e : events_) handle(e);
    if (now - lastFrame_ < kFrameMs) return;
    presentAll();
  }

  // Brings what was drawn to the screen now, before the thread stops
  // pumping (a modal box of the desktop's).
  void presentAll() {
    for (HWND hwnd : std::vector<HWND>(shown_))
      if (Window* w = findWindow(hwnd)) present(*w);
    lastFrame_ = os::monotonicMs();
  }

 private:
  bool anyDirty() {
    for (HWND hwnd : shown_)
      if (Window* w = findWindow(hwnd); w && !emptyRect(w->dirty)) return true;
    return false;
  }

  Window* byDisplayId(std::uint32_t id) {
    for (HWND hwnd : shown_)
      if (Window* w = findWindow(hwnd); w && w->displayId == id) return w;
    return nullptr;
  }

  void present(Window& w) {
    const RECT d = w.dirty;
    w.dirty = RECT{};
    const int width = w.rect.right - w.rect.left;
    const int height = w.rect.bottom - w.rect.top;
    if (emptyRect(d) || !w.visible || width <= 0 || height <= 0) return;
    if (w.pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
      w.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0xFFFFFFFFu);
    os::display::present(w.displayId, width, height, w.pixels.data(),
                         {d.left, d.top, d.right - d.left, d.bottom - d.top});
    ++w.frames;
  }

  void handle(const os::display::Event& e) {
    Window* w = byDisplayId(e.window);
    if (!w) return;
    switch (e.kind) {
      case os::display::Event::Exposed:
        w->dirty = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
        present(*w);
        break;
      case os::display::Event::CloseRequested:
        // As the desktop's close button does on Windows: the window procedure
        // decides, and DefWindowProc honours the system menu.
        PostMessageA(handleOf(*w), WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
      case os::display::Event::Minimized: w->style |= WS_MINIMIZE; break;
      case os::display::Event::Restored:
        w->style &= ~WS_MINIMIZE;
        w->maximized = false;
        break;
      case os::display::Event::Maximized: w->maximized = true; break;
      case os::display::Event::PointerMoved:
        // As Windows asks a window for its cursor whenever the pointer
        // moves over it.
        SendMessageA(handleOf(*w), WM_SETCURSOR, reinterpret_cast<WPARAM>(handleOf(*w)),
                     MAKELONG(HTCLIENT, static_cast<WORD>(WM_MOUSEMOVE)));
        break;
      case os::display::Event::Moved: {
        const int width = w->rect.right - w->rect.left;
        const int height = w->rect.bottom - w->rect.top;
        w->rect = RECT{e.x, e.y, e.x + width, e.y + height};
        break;
      }
    }
  }

  std::shared_ptr<ThreadQueue> queue_;
  std::vector<HWND> shown_;
  std::vector<os::display::Event> events_;
  std::int64_t lastFrame_ = 0;
};

}  // namespace

void displayWindowChanged(Window& window) { Display::instance().changed(window); }

void displayWindowDrawn(Window& window, const RECT& area) {
  if (!window.displayId) return;
  uniteRect(window.dirty, area);
}

void displayWindowFrameChanged(Window& window) {
  // Only the thread that owns the display may touch its windows.
  if (window.displayId && window.queue == currentQueue()) os::display::setFrame(window.displayId, frameOf(window));
}

void displayWindowDestroyed(Window& window) { Display::instance().destroyed(window); }

bool displayDesktopSize(int& width, int& height) {
  return Display::instance().ready() && os::display::desktopSize(width, height);
}

void displayCursor(UINT_PTR resourceId) {
  if (!os::display::isOpen()) return;
  os::display::setCursor(resourceId == 32650 ? os::display::Cursor::WaitArrow : os::display::Cursor::Arrow);
}

}  // namespace win32

namespace win32 {

void displaySound(UINT type) {
  const char* name = "bell";
  switch (type) {
    case MB_ICONASTERISK: name = "dialog-information"; break;
    case MB_ICONEXCLAMATION: name = "dialog-warning"; break;
    case MB_ICONHAND: name = "dialog-error"; break;
    case MB_ICONQUESTION: name = "dialog-question"; break;
    default: break;
  }
  os::display::playSound(name);
}

void displayMessageBox(HWND owner, const std::string& caption, const std::string& text, UINT type) {
  if (!os::display::isOpen()) return;
  Display::instance().presentAll();
  const Window* w = owner ? findWindow(owner) : nullptr;
  const auto kind = (type & 0xF0) == MB_ICONHAND          ? os::display::BoxKind::Error
                    : (type & 0xF0) == MB_ICONEXCLAMATION ? os::display::BoxKind::Warning
                                                          : os::display::BoxKind::Information;
  os::display::showMessageBox(w ? w->displayId : 0, caption, text, kind);
}

}  // namespace win32
