// The hidden windows through which the socket layer receives its messages
// (socket notifications, timer ticks) without depending on any form.
#pragma once

#include "platform/Win32.h"

// A window of className, registered once per process with proc and room for
// two references; the window is a tool-window pop-up of size 0 without title,
// parent or menu, and its extra data holds owner (read back with
// GetWindowLongPtrA(hwnd, 0)) and, at offset kHiddenWindowSpare, whatever
// the owner leaves there (0 at first). Null when the class cannot be
// registered or the window not created.
constexpr int kHiddenWindowSpare = sizeof(LONG_PTR);
HWND CreateHiddenWindow(const char* className, WNDPROC proc, void* owner);
