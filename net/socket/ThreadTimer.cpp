#include "net/socket/ThreadTimer.h"

#include "classlib/Application.h"
#include "net/socket/HiddenWindow.h"
#include "platform/Win32.h"

struct ThreadTimerWindow {
  static constexpr const char* kClassName = "TmrWindowClass";

  static LRESULT CALLBACK TimerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* timer = reinterpret_cast<TThreadTimer*>(GetWindowLongPtrA(hwnd, 0));
    if (!timer) return DefWindowProcA(hwnd, msg, wParam, lParam);
    // Activation of the application is neither handled nor passed on.
    if (msg == WM_ACTIVATEAPP) return 0;
    return timer->HandleMessage(msg, wParam, lParam);
  }

  // The window of a timer, or null when the class cannot be registered or the
  // window not created; the timer then cannot run (UpdateTimer raises).
  static HWND Create(TThreadTimer* timer) { return CreateHiddenWindow(kClassName, &TimerWindowProc, timer); }
};

TThreadTimer::TThreadTimer(TComponent* owner) : TComponent(owner) {
  enabled_ = true;
  interval_ = 1000;
  windowHandle_ = ThreadTimerWindow::Create(this);
}

TThreadTimer::~TThreadTimer() {
  enabled_ = false;
  if (windowHandle_) {
    KillTimer(windowHandle_, 1);
    DestroyWindow(windowHandle_);
  }
}

void TThreadTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TThreadTimer::SetInterval(std::uint32_t ms) {
  if (ms == interval_) return;
  interval_ = ms;
  UpdateTimer();
}

void TThreadTimer::SetOnTimer(TNotifyEvent handler) {
  onTimer_ = std::move(handler);
  UpdateTimer();
}

void TThreadTimer::UpdateTimer() {
  if (windowHandle_) KillTimer(windowHandle_, 1);
  if (interval_ != 0 && enabled_ && onTimer_.Assigned()) {
    if (!windowHandle_ || SetTimer(windowHandle_, 1, interval_, nullptr) == 0) throw Exception("No Timer");
  }
}

void TThreadTimer::DoTimer() {
  if (onTimer_.Assigned()) onTimer_(this);
}

std::intptr_t TThreadTimer::HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == WM_TIMER) {
    try {
      DoTimer();
    } catch (const std::exception& e) {
      Application->HandleException(this, e);
    }
    return 0;
  }
  return DefWindowProcA(windowHandle_, msg, wParam, lParam);
}
