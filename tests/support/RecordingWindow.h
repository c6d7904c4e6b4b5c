// A hidden window that records the messages dispatched to it, for tests of the
// message pump and of anything that posts to windows.
#pragma once

#include "platform/Win32.h"

#include <functional>
#include <vector>

namespace testsupport {

struct Delivered {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

class RecordingWindow {
 public:
  RecordingWindow() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    if (!GetClassInfoA(instance, "RecordingWindow", &wc)) {
      wc.lpfnWndProc = &Proc;
      wc.cbWndExtra = sizeof(LONG_PTR);
      wc.hInstance = instance;
      wc.lpszClassName = "RecordingWindow";
      RegisterClassA(&wc);
    }
    hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, "RecordingWindow", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           instance, nullptr);
    SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(this));
  }
  ~RecordingWindow() {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
  }
  RecordingWindow(const RecordingWindow&) = delete;
  RecordingWindow& operator=(const RecordingWindow&) = delete;

  HWND hwnd = nullptr;
  std::vector<Delivered> delivered;
  // Runs for every message after it was recorded.
  std::function<void(UINT, WPARAM, LPARAM)> onMessage;

  int count(UINT message) const {
    int n = 0;
    for (const Delivered& d : delivered) n += d.message == message;
    return n;
  }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<RecordingWindow*>(GetWindowLongPtrA(hwnd, 0));
    if (!self || msg == WM_DESTROY || msg == WM_NCDESTROY) return DefWindowProcA(hwnd, msg, wParam, lParam);
    self->delivered.push_back({msg, wParam, lParam});
    if (self->onMessage) self->onMessage(msg, wParam, lParam);
    return 0;
  }
};

// Dispatches every pending message without waiting; returns how many.
inline int pumpPending() {
  MSG msg;
  int n = 0;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) break;
    DispatchMessageA(&msg);
    ++n;
  }
  return n;
}

}  // namespace testsupport
