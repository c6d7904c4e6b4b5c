// A window's frame as an X11 window manager hears it: the Motif hints
// (_MOTIF_WM_HINTS), which name the decorations to draw and the functions a
// person may apply. Window managers differ in how much of them they follow:
// IceWM draws the buttons named and refuses closing, maximising and sizing
// when they are not named (it keeps moving); Openbox follows only moving,
// sizing and whether to decorate at all, and keeps its close button. The
// window manager publishes what it then allows in _NET_WM_ALLOWED_ACTIONS,
// which is its property, not the client's.
#include "platform/posix/OsDisplay.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

namespace os::display {

namespace {

// The property's five 32-bit fields: flags, functions, decorations, input
// mode, status. Neither set carries its "all" bit, which would turn the
// others into exceptions.
constexpr long kHintsFunctions = 1L << 0;
constexpr long kHintsDecorations = 1L << 1;

constexpr long kFunctionResize = 1L << 1;
constexpr long kFunctionMove = 1L << 2;
constexpr long kFunctionMinimize = 1L << 3;
constexpr long kFunctionMaximize = 1L << 4;
constexpr long kFunctionClose = 1L << 5;

constexpr long kDecorBorder = 1L << 1;
constexpr long kDecorResizeHandle = 1L << 2;
constexpr long kDecorTitle = 1L << 3;
constexpr long kDecorMenu = 1L << 4;
constexpr long kDecorMinimize = 1L << 5;
constexpr long kDecorMaximize = 1L << 6;

long bit(bool on, long value) { return on ? value : 0; }

long functionsOf(const Frame& f) {
  return bit(f.canSize, kFunctionResize) | bit(f.canMove, kFunctionMove) | bit(f.canMinimize, kFunctionMinimize) |
         bit(f.canMaximize, kFunctionMaximize) | bit(f.canClose, kFunctionClose);
}

// A bare popup keeps no decoration at all, as SDL asks for a borderless one.
long decorationsOf(const Frame& f) {
  if (!f.caption) return 0;
  return kDecorBorder | kDecorTitle | bit(f.sizingBorder, kDecorResizeHandle) | bit(f.menuButton, kDecorMenu) |
         bit(f.minimizeButton, kDecorMinimize) | bit(f.maximizeButton, kDecorMaximize);
}

}  // namespace

void setFrameHints(std::uint32_t window, const Frame& frame) {
  SDL_Window* w = window ? SDL_GetWindowFromID(window) : nullptr;
  if (!w) return;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(w, &info) || info.subsystem != SDL_SYSWM_X11) return;
  ::Display* display = info.info.x11.display;
  const ::Window x11Window = info.info.x11.window;
  const Atom hints = XInternAtom(display, "_MOTIF_WM_HINTS", False);
  long fields[5] = {kHintsFunctions | kHintsDecorations, functionsOf(frame), decorationsOf(frame), 0, 0};
  XChangeProperty(display, x11Window, hints, hints, 32, PropModeReplace, reinterpret_cast<unsigned char*>(fields),
                  5);
  XFlush(display);
}

}  // namespace os::display
