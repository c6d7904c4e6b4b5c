#include "tests/support/WindowCreationRefused.h"

#include "tests/support/RecordingWindow.h"

namespace testsupport {

namespace {

LRESULT CALLBACK RefuseCreation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) return 1;  // non-zero: CreateWindowEx fails
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

struct WindowCreationRefused::State {
  HHOOK hook;
};

WindowCreationRefused::WindowCreationRefused()
    : state_(std::make_unique<State>(State{SetWindowsHookExA(WH_CBT, &RefuseCreation, nullptr, GetCurrentThreadId())})) {}

WindowCreationRefused::~WindowCreationRefused() {
  if (state_->hook) UnhookWindowsHookEx(state_->hook);
}

bool WindowCreationRefused::refusing() const { return RecordingWindow().hwnd == nullptr; }

}  // namespace testsupport
