// A timer component over a window timer of its own hidden window.
#pragma once

#include "classlib/Classes.h"

struct HWND__;

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  // Starts or stops the timer; setting the current value does nothing, so
  // enabling an enabled timer does not restart its period.
  void SetEnabled(bool value);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);
  const TNotifyEvent& OnTimer() const { return onTimer_; }
  void SetOnTimer(TNotifyEvent handler);

  // Raises EOutOfResources "Not enough timers available" when the window
  // timer cannot be set.
  void UpdateTimer();

 protected:
  // Fires OnTimer; an exception goes to the application's handler.
  virtual void Timer();

 private:
  friend struct TimerWindow;

  HWND__* window_ = nullptr;
  bool enabled_ = true;
  unsigned interval_ = 1000;
  TNotifyEvent onTimer_;
};
