#include "classlib/Application.h"

#include "platform/Win32.h"

#include <iostream>

TApplication* Application = new TApplication(nullptr);

TApplication::TApplication(TComponent* owner) : TComponent(owner), errorStream_(&std::cerr) {}

void TApplication::Run() {
  terminated_ = false;
  if (auto* window = dynamic_cast<TMainWindow*>(mainForm_)) window->ShowMainWindow();
  while (!terminated_) HandleMessage();
}

bool TApplication::ProcessMessage() {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  try {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  } catch (const std::exception& e) {
    HandleException(this, e);
  }
  return true;
}

bool TApplication::ProcessMessages() {
  bool any = false;
  while (ProcessMessage()) any = true;
  return any;
}

void TApplication::HandleMessage() {
  if (!ProcessMessage()) WaitMessage();
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::HandleException(TObject* sender, const std::exception& error) {
  if (OnException.Assigned()) {
    OnException(sender, error);
    return;
  }
  *errorStream_ << error.what() << std::endl;
}
