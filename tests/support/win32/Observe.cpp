// What the Windows tests observe of the program in process (platform/Observe.h).
// The platform on Windows is the system, which records nothing, so the tests
// look through the real API: a window's state and pixels through the calls
// that return them (the pixels read back with GDI from the window's device
// context), the cursor through GetCursor, and the beeps and started programs
// through the program's own calls: its import entries for MessageBeep and
// ShellExecuteA lead through a recorder to the system's functions. Its
// entry for MessageBoxA leads to a recorder only, which answers OK as the
// Linux platform does without a display: nobody presses a button in a test
// (and under Wine's null display driver the box would wait for ever).
#include "platform/Observe.h"

#include <windows.h>

#include <mutex>

namespace observe {

namespace {

using MessageBeepFunction = BOOL(WINAPI*)(UINT);
using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
using MessageBoxFunction = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);

std::mutex gRecordsMutex;
std::vector<unsigned> gBeeps;
std::vector<ShownMessageBox> gMessageBoxes;
std::vector<StartedProgram> gStarted;
MessageBeepFunction gSystemMessageBeep = nullptr;
ShellExecuteFunction gSystemShellExecute = nullptr;

BOOL WINAPI RecordedMessageBeep(UINT type) {
  {
    std::lock_guard<std::mutex> lock(gRecordsMutex);
    gBeeps.push_back(type);
  }
  return gSystemMessageBeep(type);
}

int WINAPI RecordedMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  std::lock_guard<std::mutex> lock(gRecordsMutex);
  gMessageBoxes.push_back({caption ? caption : "Error", text ? text : "", type});
  return IDOK;
}

std::string FullPath(const char* path) {
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
  return length > 0 && length < sizeof full ? std::string(full, length) : std::string(path);
}

// A start is recorded when the system reports success, as Linux records a
// program that it started. ShellExecuteA tells no process id: pid is 0.
HINSTANCE WINAPI RecordedShellExecute(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                                      INT show) {
  const HINSTANCE result = gSystemShellExecute(window, verb, file, parameters, directory, show);
  if (reinterpret_cast<INT_PTR>(result) > 32) {
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    std::lock_guard<std::mutex> lock(gRecordsMutex);
    gStarted.push_back({FullPath(file), directory && *directory ? directory : current, show, 0});
  }
  return result;
}

// Points every entry of the program's import table that leads to target at
// replacement (the program is linked statically: every call of the class
// library and the launcher goes through it).
void Redirect(void* target, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name; ++dll)
    for (auto* entry = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk); entry->u1.Function; ++entry) {
      if (reinterpret_cast<void*>(entry->u1.Function) != target) continue;
      DWORD protection;
      VirtualProtect(&entry->u1.Function, sizeof entry->u1.Function, PAGE_READWRITE, &protection);
      entry->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&entry->u1.Function, sizeof entry->u1.Function, protection, &protection);
    }
}

template <class Function>
Function SystemFunction(const char* dll, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(LoadLibraryA(dll), name)));
}

bool InstallRecorders() {
  gSystemMessageBeep = SystemFunction<MessageBeepFunction>("user32", "MessageBeep");
  gSystemShellExecute = SystemFunction<ShellExecuteFunction>("shell32", "ShellExecuteA");
  Redirect(reinterpret_cast<void*>(gSystemMessageBeep), reinterpret_cast<void*>(&RecordedMessageBeep));
  Redirect(reinterpret_cast<void*>(gSystemShellExecute), reinterpret_cast<void*>(&RecordedShellExecute));
  Redirect(reinterpret_cast<void*>(SystemFunction<MessageBoxFunction>("user32", "MessageBoxA")),
           reinterpret_cast<void*>(&RecordedMessageBox));
  return true;
}

// In place before main, so that nothing the program calls goes unrecorded.
const bool gRecording = InstallRecorders();

// The size of an icon's image, or 0 x 0.
void IconSize(HICON icon, int& width, int& height) {
  width = height = 0;
  ICONINFO info;
  if (!icon || !GetIconInfo(icon, &info)) return;
  BITMAP image{};
  GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof image, &image);
  width = image.bmWidth;
  // A monochrome icon's mask holds the AND and the XOR image one above the other.
  height = info.hbmColor ? image.bmHeight : image.bmHeight / 2;
  if (info.hbmColor) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

// What the window's client area shows, read back from its device context:
// 0x00RRGGBB pixels, top row first.
std::vector<std::uint32_t> ClientPixels(HWND hwnd, int width, int height) {
  std::vector<std::uint32_t> pixels;
  if (width <= 0 || height <= 0) return pixels;
  HDC windowDc = GetDC(hwnd);
  HDC memoryDc = CreateCompatibleDC(windowDc);
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;  // top row first
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP copy = CreateDIBSection(windowDc, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (copy) {
    HGDIOBJ previous = SelectObject(memoryDc, copy);
    if (BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY)) {
      GdiFlush();
      const auto* first = static_cast<const std::uint32_t*>(bits);
      pixels.assign(first, first + static_cast<std::size_t>(width) * height);
    }
    SelectObject(memoryDc, previous);
    DeleteObject(copy);
  }
  DeleteDC(memoryDc);
  ReleaseDC(hwnd, windowDc);
  return pixels;
}

}  // namespace

bool viewWindow(HWND__* hwnd, WindowView& view) {
  if (!IsWindow(hwnd)) return false;
  view = WindowView{};
  char title[512] = "";
  GetWindowTextA(hwnd, title, sizeof title);
  view.title = title;
  view.visible = IsWindowVisible(hwnd);
  view.minimized = IsIconic(hwnd);
  view.maximized = IsZoomed(hwnd);
  RECT client{};
  GetClientRect(hwnd, &client);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  view.left = origin.x;
  view.top = origin.y;
  view.width = client.right;
  view.height = client.bottom;
  view.style = static_cast<std::uint32_t>(GetWindowLongA(hwnd, GWL_STYLE));
  IconSize(reinterpret_cast<HICON>(SendMessageA(hwnd, WM_GETICON, ICON_BIG, 0)), view.iconWidth, view.iconHeight);
  view.pixels = ClientPixels(hwnd, view.width, view.height);
  return true;
}

std::vector<unsigned> beeps() {
  std::lock_guard<std::mutex> lock(gRecordsMutex);
  return gBeeps;
}

std::vector<ShownMessageBox> messageBoxes() {
  std::lock_guard<std::mutex> lock(gRecordsMutex);
  return gMessageBoxes;
}

std::vector<StartedProgram> startedPrograms() {
  std::lock_guard<std::mutex> lock(gRecordsMutex);
  return gStarted;
}

int currentCursor() {
  const HCURSOR cursor = GetCursor();
  if (!cursor) return 0;
  // The system's cursors are shared: loading one again gives the same handle.
  for (int id = 32512; id <= 32651; ++id)
    if (LoadCursorA(nullptr, MAKEINTRESOURCEA(id)) == cursor) return id;
  return -1;
}

void reset() {
  std::lock_guard<std::mutex> lock(gRecordsMutex);
  gBeeps.clear();
  gMessageBoxes.clear();
  gStarted.clear();
}

}  // namespace observe
