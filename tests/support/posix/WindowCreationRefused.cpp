#include "tests/support/WindowCreationRefused.h"

#include "tests/support/RecordingWindow.h"

#include <vector>

namespace testsupport {

struct WindowCreationRefused::State {
  std::vector<std::unique_ptr<RecordingWindow>> windows;
};

WindowCreationRefused::WindowCreationRefused() : state_(std::make_unique<State>()) {
  for (int i = 0; i < 20000; ++i) {  // until the quota is used up
    state_->windows.push_back(std::make_unique<RecordingWindow>());
    if (!state_->windows.back()->hwnd) break;
  }
}

WindowCreationRefused::~WindowCreationRefused() = default;

bool WindowCreationRefused::refusing() const { return RecordingWindow().hwnd == nullptr; }

}  // namespace testsupport
