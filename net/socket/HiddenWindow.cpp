#include "net/socket/HiddenWindow.h"

HWND CreateHiddenWindow(const char* className, WNDPROC proc, void* owner) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  if (!GetClassInfoA(instance, className, &wc)) {
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = 2 * sizeof(LONG_PTR);  // the owner's reference and the spare
    wc.hInstance = instance;
    wc.lpszClassName = className;
    if (!RegisterClassA(&wc)) return nullptr;
  }
  HWND hwnd =
      CreateWindowExA(WS_EX_TOOLWINDOW, className, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  if (hwnd) SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(owner));
  return hwnd;
}
