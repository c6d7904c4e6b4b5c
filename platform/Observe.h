// What a person would see and hear of the program, for tests and tools on
// Linux. Not part of the Windows interface and never included by portable
// code: only tests, tools and the platform itself use it. On Windows the
// platform has writePng only; the Windows test programs get viewWindow,
// beeps, messageBoxes, startedPrograms, currentCursor and reset from
// tests/support/win32/Observe.cpp, which observes through the real API (the
// window read back with GDI, GetCursor, the program's calls of MessageBeep
// and ShellExecuteA recorded on their way to the system, with pid 0, and of
// MessageBoxA recorded in its place).
//
// Besides the in-process records, setting the environment variable
// WIN32_PLATFORM_TRACE to a file name makes the platform append one line per
// event to that file, so that end-to-end tests can observe a shipped binary:
//   beep <type>
//   messagebox <type> <caption><TAB><text>
//   cursor <resource id>
//   start <pid> show=<command> dir=<directory> <program path>
//   start-failed <code> <program path>
//   paint <monotonic ns> <process CPU ns> <window title>
//     (the end of the first paint of a top-level window: the monotonic clock,
//     CLOCK_MONOTONIC on Linux, and the CPU time the process had used)
//   timer <ms> <window> <id> <period ms> <armed ms>
//     (a window timer's tick, WM_TIMER taken from the queue: the platform's
//     clock in ms, the one GetTickCount and the timers run on, at the tick;
//     the window handle and timer id; the period; that clock when SetTimer
//     last started the timer)
// The program itself reads no environment; only the platform's observation
// does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HWND__;

namespace observe {

// Writes width x height pixels as an 8-bit RGB PNG file. Pixels are 32-bit
// 0xAARRGGBB values, rows top to bottom, stride = width (the layout of the
// class library's bitmaps); alpha is dropped. Returns false, with the file
// removed, when it cannot be written.
bool writePng(const std::string& path, int width, int height, const std::uint32_t* pixels);

// A window as the desktop shows it.
struct WindowView {
  std::string title;
  bool visible = false;
  bool minimized = false;
  bool maximized = false;
  int left = 0;  // client area on the desktop
  int top = 0;
  int width = 0;
  int height = 0;
  std::uint32_t style = 0;  // WS_* bits
  int iconWidth = 0;  // 0 = no icon
  int iconHeight = 0;
  // What the window shows: width x height 0xAARRGGBB pixels, top row first;
  // empty until something was drawn into it.
  std::vector<std::uint32_t> pixels;
  // A window of the desktop stands for it (false without a display), and
  // how often its pixels were brought to the screen.
  bool onDesktop = false;
  int frames = 0;
};

// The window's state, or false when there is no such window.
bool viewWindow(HWND__* hwnd, WindowView& view);

// Writes what the window shows as a PNG file (see writePng). False when
// there is no such window, nothing was drawn into it yet, or the file cannot
// be written.
bool captureWindow(HWND__* hwnd, const std::string& path);

// Capture of a running program: when the environment variable
// WIN32_PLATFORM_CAPTURE_DIR names a folder, each SIGUSR1 the process
// receives writes every visible top-level window of the program that has
// been drawn into as <folder>/capture-<n>-<k>.png, n counting the requests
// from 1 and k the windows from 1 in creation order. The files are written
// by the GUI thread between two messages and appear whole (written under
// another name, then renamed). The handler is in place once the program has
// created its first window (before it shows one).
//
// Recording of a running program: when WIN32_PLATFORM_RECORD_DIR names a
// folder, the GUI thread writes the same pictures as
// <folder>/record-<n>-<k>.png whenever a visible window was drawn into, at
// most every 50 ms, and a window's last picture when it is destroyed: every
// state that a person could have seen for more than a moment is among them.

// ---------------------------------------------------- sounds, cursors, programs

struct StartedProgram {
  std::string path;       // the program file as found on disk
  std::string directory;  // the working directory it was started in
  int showCommand;        // as given to ShellExecuteA
  int pid;
};

// The end of the first paint (EndPaint) of a top-level window.
struct FirstPaint {
  std::string title;
  std::int64_t monotonicNs;  // std::chrono::steady_clock
  std::int64_t cpuNs;        // CPU time of the process so far
};

// A message box as MessageBoxA was asked to show it.
struct ShownMessageBox {
  std::string caption;
  std::string text;
  unsigned type;  // MB_* flags
};

// MessageBeep types, in order.
std::vector<unsigned> beeps();
// Message boxes, in order. Where nobody can press a button (Linux without a
// display; the Windows test programs, whose recorder shows none) a box is
// answered with OK at once.
std::vector<ShownMessageBox> messageBoxes();
// Programs started through ShellExecuteA, in order.
std::vector<StartedProgram> startedPrograms();
// First paints of top-level windows, in order (one per window).
std::vector<FirstPaint> firstPaints();
// The resource id of the cursor last set with SetCursor (32512 the arrow,
// 32650 the application-starting cursor), 0 when none was set. On Windows
// the thread's cursor (GetCursor) among the system's, -1 for another.
int currentCursor();
// Forgets the records (tests).
void reset();

// Recording, for the platform's own use.
void recordBeep(unsigned type);
void recordMessageBox(const ShownMessageBox& box);
void recordCursor(int resourceId);
void recordStart(const StartedProgram& program);
void recordStartFailure(int code, const std::string& path);
void recordFirstPaint(const std::string& title);
// Traced only: a timer ticks for as long as the program runs.
void recordTimerTick(std::uintptr_t window, std::uintptr_t id, unsigned periodMs, std::int64_t atMs,
                     std::int64_t armedMs);

}  // namespace observe
