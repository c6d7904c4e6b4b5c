// While the object lives, no window can be created on this thread, so that
// tests see what a component does without its window. On Linux the object
// uses up the platform's quota of windows per process; on Windows a hook of
// the thread refuses each creation (Windows has a quota too, 10,000 objects
// a process by default, but Wine does not, and using it up takes minutes).
#pragma once

#include <memory>

namespace testsupport {

class WindowCreationRefused {
 public:
  WindowCreationRefused();
  ~WindowCreationRefused();
  WindowCreationRefused(const WindowCreationRefused&) = delete;
  WindowCreationRefused& operator=(const WindowCreationRefused&) = delete;

  // Whether a creation is refused now (the test's precondition).
  bool refusing() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace testsupport
