// A timer with a hidden window of its own, so that a socket component can run
// a time-out without depending on any form. Despite its name it starts no
// thread: ticks arrive as WM_TIMER on the thread that created it.
#pragma once

#include "classlib/Classes.h"

#include <cstdint>

struct HWND__;

class TThreadTimer : public TComponent {
 public:
  // Enabled, with an interval of 1000 ms and no handler, so no timer runs yet.
  explicit TThreadTimer(TComponent* owner);
  ~TThreadTimer() override;

  bool Enabled() const { return enabled_; }
  // Setting the current value does nothing; a change restarts the timer.
  void SetEnabled(bool value);
  std::uint32_t Interval() const { return interval_; }
  void SetInterval(std::uint32_t ms);
  const TNotifyEvent& OnTimer() const { return onTimer_; }
  // Always restarts the timer, even with the same handler.
  void SetOnTimer(TNotifyEvent handler);

  HWND__* WindowHandle() const { return windowHandle_; }

  // Kills the window timer, then sets it again when Interval is not 0,
  // Enabled is true and OnTimer is assigned. Raises Exception "No Timer"
  // when the window timer cannot be set.
  void UpdateTimer();

 protected:
  // Fires OnTimer with the timer as sender.
  virtual void DoTimer();

 private:
  friend struct ThreadTimerWindow;
  // The timer's message handler: WM_TIMER runs DoTimer, an exception from the
  // handler goes to the application's handler; anything else gets the
  // default window handling.
  std::intptr_t HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

  std::uint32_t interval_ = 1000;
  HWND__* windowHandle_ = nullptr;
  TNotifyEvent onTimer_;
  bool enabled_ = true;
};
