#include "classlib/Timer.h"

#include "classlib/Application.h"
#include "platform/Win32.h"

struct TimerWindow {
  static constexpr const char* kClassName = "ClasslibTimerWindow";

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* timer = reinterpret_cast<TTimer*>(GetWindowLongPtrA(hwnd, 0));
    if (timer && msg == WM_TIMER) {
      try {
        timer->Timer();
      } catch (const std::exception& e) {
        Application->HandleException(timer, e);
      }
      return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }

  static HWND Create(TTimer* timer) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    if (!GetClassInfoA(instance, kClassName, &wc)) {
      wc.lpfnWndProc = &Proc;
      wc.cbWndExtra = sizeof(LONG_PTR);
      wc.hInstance = instance;
      wc.lpszClassName = kClassName;
      RegisterClassA(&wc);
    }
    HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, kClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                instance, nullptr);
    if (!hwnd) throw EOutOfResources("Error creating window");
    SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(timer));
    return hwnd;
  }
};

TTimer::TTimer(TComponent* owner) : TComponent(owner) { window_ = TimerWindow::Create(this); }

TTimer::~TTimer() {
  enabled_ = false;
  KillTimer(window_, 1);
  DestroyWindow(window_);
}

void TTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned ms) {
  if (ms == interval_) return;
  interval_ = ms;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  onTimer_ = std::move(handler);
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  KillTimer(window_, 1);
  if (interval_ != 0 && enabled_ && onTimer_.Assigned()) {
    if (SetTimer(window_, 1, interval_, nullptr) == 0) throw EOutOfResources("Not enough timers available");
  }
}

void TTimer::Timer() {
  if (onTimer_.Assigned()) onTimer_(this);
}
