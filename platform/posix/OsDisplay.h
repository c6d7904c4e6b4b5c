// The desktop as the window emulation sees it: plain C++ over SDL2.
//
// Implemented by OsDisplay.cpp, the only file that includes SDL headers. All
// calls come from the GUI thread (the one that opened the display).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace os::display {

// Opens the display on first call: when DISPLAY or WAYLAND_DISPLAY is set
// and SDL's video starts on an X11 or Wayland desktop. False (headless)
// otherwise, and every later call answers the same without trying again.
// When one of the two is set but no desktop can be had, one line on standard
// error says so with SDL's reason.
bool open();
bool isOpen();

// The desktop's size in pixels (false when headless).
bool desktopSize(int& width, int& height);

// What the desktop draws around a window and lets a person do with it. As
// on Windows, the buttons belong to the window's style, while the commands
// behind them are also the system menu's: a minimise button minimises
// whatever the menu says, a maximise button without Maximize in the menu
// does nothing.
struct Frame {
  bool caption = true;       // title bar (false: a bare popup)
  bool tool = false;         // a tool window: no taskbar entry
  bool sizingBorder = false;
  bool menuButton = false;   // the icon that opens the window's menu
  bool minimizeButton = false;
  bool maximizeButton = false;
  bool canMove = true;
  bool canSize = false;
  bool canMinimize = false;
  bool canMaximize = false;
  bool canClose = false;
};

// A window of client size width x height at (x, y) on the desktop, hidden.
// Returns its id (0 when the desktop refuses).
std::uint32_t createWindow(const std::string& title, int x, int y, int width, int height, const Frame& frame);
void destroyWindow(std::uint32_t window);
void setTitle(std::uint32_t window, const std::string& title);
void setFrame(std::uint32_t window, const Frame& frame);
void setPlace(std::uint32_t window, int x, int y, int width, int height);
void setVisible(std::uint32_t window, bool visible);
// Tells the window manager the frame's buttons and commands where the
// desktop has a way to hear it: on X11 the window's Motif hints, which
// window managers follow more or less. Wayland's shell protocol has no such
// request.
// createWindow and setFrame call it; implemented by OsFrameHints.cpp.
void setFrameHints(std::uint32_t window, const Frame& frame);
// width x height 0xAARRGGBB pixels, top row first.
void setIcon(std::uint32_t window, int width, int height, const std::uint32_t* pixels);

struct Rect {
  int x, y, width, height;
};
// Brings area of the window's pixels (stride = width) to the screen.
void present(std::uint32_t window, int width, int height, const std::uint32_t* pixels, const Rect& area);

enum class Cursor { Arrow, WaitArrow };
void setCursor(Cursor cursor);

// Plays one of the desktop's event sounds (a freedesktop sound name such as
// "dialog-information") where one can be played: only while the display is
// open, on a worker thread, so the caller never waits; a desktop without
// sound plays nothing. Implemented by OsSound.cpp.
void playSound(const char* name);

// A modal box with an OK button over the window (0: none), returning once
// it is dismissed. Texts are one byte a character, Windows-1252.
enum class BoxKind { Information, Warning, Error };
void showMessageBox(std::uint32_t window, const std::string& caption, const std::string& text, BoxKind kind);

struct Event {
  enum Kind { Exposed, CloseRequested, Minimized, Restored, Maximized, Moved, PointerMoved } kind;
  std::uint32_t window;
  int x = 0;  // Moved: the client area's new position
  int y = 0;
};
// Takes the desktop's pending events (never waits).
void pollEvents(std::vector<Event>& events);

}  // namespace os::display
