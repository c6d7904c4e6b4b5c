// The desktop through SDL2's video subsystem, software surfaces only.
#include "platform/posix/OsDisplay.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace os::display {

namespace {

enum class State { Untried, Open, Headless };
State gState = State::Untried;
SDL_Cursor* gArrow = nullptr;
SDL_Cursor* gWaitArrow = nullptr;

SDL_Window* windowOf(std::uint32_t id) { return id ? SDL_GetWindowFromID(id) : nullptr; }

bool set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// SDL's video drivers that put windows on a desktop. When none can reach
// one, SDL falls back to drivers that show nothing ("offscreen", "dummy").
bool onDesktop(const char* driver) {
  return driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
}

// A display was asked for but cannot be had: said once, then the program
// runs without a window.
bool noDisplay(const char* reason) {
  std::fprintf(stderr, "The display cannot be opened (%s); running without a window.\n", reason);
  std::fflush(stderr);
  return false;
}

}  // namespace

bool open() {
  if (gState != State::Untried) return gState == State::Open;
  gState = State::Headless;
  if (!set("DISPLAY") && !set("WAYLAND_DISPLAY")) return false;
  // The program keeps its own signal handling, and closing a window is the
  // window procedure's business, not a quit request.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return noDisplay(SDL_GetError());
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!onDesktop(driver)) {
    const std::string reason =
        std::string("no X11 or Wayland display answered; SDL offers only its \"") + (driver ? driver : "") + "\" video";
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return noDisplay(reason.c_str());
  }
  gState = State::Open;
  return true;
}

bool isOpen() { return gState == State::Open; }

bool desktopSize(int& width, int& height) {
  if (!isOpen()) return false;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
  width = mode.w;
  height = mode.h;
  return true;
}

namespace {

// Free size hints: a window that can be maximised must be allowed to grow,
// one that cannot is pinned to its size even by window managers that read
// no other hint.
bool resizable(const Frame& frame) { return frame.canSize || frame.canMaximize; }

}  // namespace

std::uint32_t createWindow(const std::string& title, int x, int y, int width, int height, const Frame& frame) {
  if (!isOpen()) return 0;
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (!frame.caption) flags |= SDL_WINDOW_BORDERLESS;
  if (resizable(frame)) flags |= SDL_WINDOW_RESIZABLE;
  if (frame.tool) flags |= SDL_WINDOW_UTILITY;
  // On X11 the pixels go through the server's own image path: the
  // accelerated one puts a new X window in place of this one at its first
  // frame, without the frame hints set on it.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && std::strcmp(driver, "x11") == 0) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_Window* w = SDL_CreateWindow(title.c_str(), x, y, width > 0 ? width : 1, height > 0 ? height : 1, flags);
  if (!w) return 0;
  const std::uint32_t id = SDL_GetWindowID(w);
  setFrameHints(id, frame);
  return id;
}

void destroyWindow(std::uint32_t window) {
  if (SDL_Window* w = windowOf(window)) SDL_DestroyWindow(w);
}

void setTitle(std::uint32_t window, const std::string& title) {
  if (SDL_Window* w = windowOf(window)) SDL_SetWindowTitle(w, title.c_str());
}

void setFrame(std::uint32_t window, const Frame& frame) {
  SDL_Window* w = windowOf(window);
  if (!w) return;
  SDL_SetWindowBordered(w, frame.caption ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowResizable(w, resizable(frame) ? SDL_TRUE : SDL_FALSE);
  // Last: SDL writes hints of its own when the border changes.
  setFrameHints(window, frame);
}

void setPlace(std::uint32_t window, int x, int y, int width, int height) {
  SDL_Window* w = windowOf(window);
  if (!w) return;
  SDL_SetWindowSize(w, width > 0 ? width : 1, height > 0 ? height : 1);
  SDL_SetWindowPosition(w, x, y);
}

void setVisible(std::uint32_t window, bool visible) {
  SDL_Window* w = windowOf(window);
  if (!w) return;
  if (visible)
    SDL_ShowWindow(w);
  else
    SDL_HideWindow(w);
}

void setIcon(std::uint32_t window, int width, int height, const std::uint32_t* pixels) {
  SDL_Window* w = windowOf(window);
  if (!w || width <= 0 || height <= 0 || !pixels) return;
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(pixels), width, height, 32,
                                                         width * 4, SDL_PIXELFORMAT_ARGB8888);
  if (!icon) return;
  SDL_SetWindowIcon(w, icon);
  SDL_FreeSurface(icon);
}

void present(std::uint32_t window, int width, int height, const std::uint32_t* pixels, const Rect& area) {
  SDL_Window* w = windowOf(window);
  if (!w || width <= 0 || height <= 0 || !pixels) return;
  SDL_Surface* target = SDL_GetWindowSurface(w);
  if (!target) return;
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(pixels), width, height, 32,
                                                           width * 4, SDL_PIXELFORMAT_ARGB8888);
  if (!source) return;
  // The pixels are opaque whatever their alpha byte says.
  SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
  SDL_Rect r{area.x, area.y, area.width, area.height};
  SDL_Rect d = r;
  SDL_BlitSurface(source, &r, target, &d);
  SDL_FreeSurface(source);
  SDL_UpdateWindowSurfaceRects(w, &r, 1);
}

void setCursor(Cursor cursor) {
  if (!isOpen()) return;
  SDL_Cursor*& slot = cursor == Cursor::WaitArrow ? gWaitArrow : gArrow;
  if (!slot)
    slot = SDL_CreateSystemCursor(cursor == Cursor::WaitArrow ? SDL_SYSTEM_CURSOR_WAITARROW : SDL_SYSTEM_CURSOR_ARROW);
  if (slot) SDL_SetCursor(slot);
}

namespace {

// SDL takes UTF-8. The bytes of the Windows-1252 range 0x80 to 0x9F are
// taken as Latin-1: the program's box texts hold none.
std::string utf8FromAnsi(const std::string& text) {
  std::string out;
  for (const unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

void showMessageBox(std::uint32_t window, const std::string& caption, const std::string& text, BoxKind kind) {
  if (!isOpen()) return;
  const Uint32 flags = kind == BoxKind::Error     ? SDL_MESSAGEBOX_ERROR
                       : kind == BoxKind::Warning ? SDL_MESSAGEBOX_WARNING
                                                  : SDL_MESSAGEBOX_INFORMATION;
  SDL_ShowSimpleMessageBox(flags, utf8FromAnsi(caption).c_str(), utf8FromAnsi(text).c_str(), windowOf(window));
}

void pollEvents(std::vector<Event>& events) {
  if (!isOpen()) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (e.type == SDL_MOUSEMOTION) events.push_back({Event::PointerMoved, e.motion.windowID});
    if (e.type != SDL_WINDOWEVENT) continue;
    const std::uint32_t id = e.window.windowID;
    switch (e.window.event) {
      case SDL_WINDOWEVENT_EXPOSED: events.push_back({Event::Exposed, id}); break;
      case SDL_WINDOWEVENT_CLOSE: events.push_back({Event::CloseRequested, id}); break;
      case SDL_WINDOWEVENT_MINIMIZED: events.push_back({Event::Minimized, id}); break;
      case SDL_WINDOWEVENT_RESTORED: events.push_back({Event::Restored, id}); break;
      case SDL_WINDOWEVENT_MAXIMIZED: events.push_back({Event::Maximized, id}); break;
      case SDL_WINDOWEVENT_MOVED: events.push_back({Event::Moved, id, e.window.data1, e.window.data2}); break;
      default: break;
    }
  }
}

}  // namespace os::display
