// Shared state of the window-system emulation: windows, per-thread message
// queues and the event sources that feed them.
//
// The message pump is one loop per thread (GetMessageA, PeekMessageA,
// WaitMessage). Each pass first lets the thread's event sources turn readiness
// into posted messages, then retrieves in Windows order: posted messages, the
// quit request, WM_PAINT, WM_TIMER. When nothing is retrievable a blocking call
// waits in poll() on the thread's wake-up descriptor and on the descriptors of
// its event sources, until the next timer is due.
//
// Event sources plug into that wait:
// - sockets selected with WSAAsyncSelect register an EventSource that polls
//   them and posts their notifications;
// - worker threads (host look-ups) post messages with PostMessageA, which is
//   thread-safe and wakes the owning thread;
// - the display registers an EventSource that pumps its window events.
#pragma once

#include "platform/Win32.h"
#include "platform/posix/Os.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace win32 {

class EventSource {
 public:
  virtual ~EventSource() = default;
  // Adds the descriptors to wait on and returns the longest time in ms that
  // the pump may block before calling dispatch again (-1 = no limit).
  virtual int prepare(std::vector<os::PollItem>& items) = 0;
  // Receives the items that prepare added, with revents filled (all zero when
  // the wait timed out). Posts messages for what became ready.
  virtual void dispatch(const os::PollItem* items, std::size_t count) = 0;
};

// A posted message and what the platform must do when it is retrieved.
struct QueuedMessage {
  MSG msg;
  // Runs on the owning thread when the message is removed from the queue
  // (a host look-up lays out its reply there).
  std::function<void()> onRetrieve;
};

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT interval;
  TIMERPROC proc;
  std::int64_t due;
  std::int64_t armed;  // when SetTimer last started it (the trace reports it)
};

struct ThreadQueue {
  std::mutex mutex;  // guards posted and quit* (posters may be other threads)
  std::deque<QueuedMessage> posted;
  bool quitPending = false;
  int quitCode = 0;
  os::Waker waker;

  // Touched by the owning thread only.
  std::vector<Timer> timers;
  std::vector<EventSource*> sources;
  UINT_PTR nextThreadTimerId = 0x7000;
};

struct Menu;

struct Window {
  std::uint32_t id = 0;
  std::string className;
  WNDPROC proc = nullptr;
  HCURSOR cursor = nullptr;  // the class's
  std::vector<unsigned char> extra;
  LONG_PTR userData = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string title;
  RECT rect{};  // window rectangle; the client area has the same size here
  HWND parent = nullptr;
  HINSTANCE instance = nullptr;
  bool visible = false;
  bool needsPaint = false;
  RECT updateRect{};  // what WM_PAINT must paint (client coordinates)
  bool destroying = false;
  bool painted = false;  // its first paint ended (observed for top-level windows)
  bool maximized = false;
  // What the window shows: client-size rows of 0xAARRGGBB pixels, top row
  // first, written by SetDIBitsToDevice (empty until the first write).
  std::vector<std::uint32_t> pixels;
  // The icon given with WM_SETICON (the large one when both are set).
  HICON icon = nullptr;
  // On the desktop: the display's window (0 = none) and the area drawn since
  // the display last showed it.
  std::uint32_t displayId = 0;
  RECT dirty{};
  int frames = 0;  // times the display brought pixels to the screen
  bool changedSinceRecord = false;  // drawn into since the recording last wrote it
  std::shared_ptr<ThreadQueue> queue;
  std::unique_ptr<Menu> systemMenu;
};

// The calling thread's queue, created on first use.
std::shared_ptr<ThreadQueue> currentQueue();

// The live window of a handle, or null. The pointer stays valid until
// DestroyWindow on the owning thread.
Window* findWindow(HWND hwnd);
// The queue of a live window (any thread), or null.
std::shared_ptr<ThreadQueue> queueOfWindow(HWND hwnd);

// Posts a message with platform extras (tag, retrieval action). Thread-safe.
// Fails (false) when the window is gone.
bool postQueued(HWND hwnd, QueuedMessage message);

// Called by DestroyWindow: forgets the window's posted messages and timers.
void forgetWindowMessages(Window& window);

// A window of the queue's thread that waits for WM_PAINT (null if none).
HWND windowNeedingPaint(ThreadQueue& queue, HWND filter);

// Whether the window's system menu still holds the command (SC_CLOSE, ...),
// and whether the window offers it (only with WS_SYSMENU). Dragging a caption
// moves a window without WS_SYSMENU too, unless its menu lost Move.
bool systemMenuHolds(HWND hwnd, UINT command);
bool systemMenuHasCommand(HWND hwnd, UINT command);

// The visible top-level windows of the queue's thread, in creation order.
std::vector<HWND> shownWindows(ThreadQueue& queue);

// Rectangles with right and bottom exclusive: whether one covers no pixel,
// and growing one to cover another as well (an empty one becomes the other).
inline bool emptyRect(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
inline void uniteRect(RECT& into, const RECT& area) {
  if (emptyRect(area)) return;
  if (emptyRect(into)) {
    into = area;
    return;
  }
  into.left = std::min(into.left, area.left);
  into.top = std::min(into.top, area.top);
  into.right = std::max(into.right, area.right);
  into.bottom = std::max(into.bottom, area.bottom);
}

// Adds an area (client coordinates; null = all) to what WM_PAINT must paint.
void invalidateWindow(Window& window, const RECT* area);

// The pixels of an icon made with CreateIcon: width x height 0xAARRGGBB,
// top row first. False for an unknown handle.
bool iconPixels(HICON icon, int& width, int& height, std::vector<std::uint32_t>& pixels);

// The display (Display.cpp). A visible top-level window of the thread that
// opened it is also a window on the desktop when one can be opened; without
// a desktop these do nothing. Windows.cpp and Gdi.cpp report every change
// that the desktop shows.
void displayWindowChanged(Window& window);  // visibility, title, icon, place, frame
void displayWindowDrawn(Window& window, const RECT& area);
// The frame follows a change of the system menu.
void displayWindowFrameChanged(Window& window);
void displayWindowDestroyed(Window& window);
// The desktop's size; false when there is no desktop.
bool displayDesktopSize(int& width, int& height);
// The cursor shown over the program's windows (a system cursor's resource
// id, IDC_ARROW when null).
void displayCursor(UINT_PTR resourceId);
// The desktop's sound for a MessageBeep type, where one can be played.
void displaySound(UINT type);
// With a display, shows a message box over the owner's window and returns
// once a person dismissed it; without, returns at once.
void displayMessageBox(HWND owner, const std::string& caption, const std::string& text, UINT type);

// Capture on request and recording (Capture.cpp): with
// WIN32_PLATFORM_CAPTURE_DIR or WIN32_PLATFORM_RECORD_DIR set, the first
// window the program creates arms them on its thread. DestroyWindow reports
// a window that goes, so that the recording keeps its last picture.
void armCapture();
void captureWindowClosing(Window& window);

void addEventSource(EventSource* source);
void removeEventSource(EventSource* source);

void setLastError(DWORD error);

// Host look-ups (WSAAsyncGetHostByName) whose worker has not finished yet, so
// that a test can wait until none is left behind.
int hostLookupsRunning();

}  // namespace win32
