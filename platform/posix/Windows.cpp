// Window classes, windows, per-window data, the default window procedure and
// the system menu.
#include "platform/Observe.h"
#include "platform/posix/Internal.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <unordered_map>

namespace win32 {

struct MenuItem {
  UINT id;
  std::string text;
};

struct Menu {
  std::uint32_t handleId = 0;
  HWND owner = nullptr;  // the window whose system menu it is
  std::vector<MenuItem> items;
};

namespace {

struct WindowClass {
  WNDCLASSA wc{};
  std::string name;
};

std::string classKey(LPCSTR name) {
  std::string key = name ? name : "";
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

// Window handles are serial numbers that are never reused, so a stale handle
// (a window destroyed while a message for it was still in flight) never
// reaches a newer window.
std::mutex gRegistryMutex;
std::map<std::string, WindowClass> gClasses;
std::unordered_map<std::uint32_t, std::unique_ptr<Window>> gWindows;
std::unordered_map<std::uint32_t, Menu*> gMenus;
std::uint32_t gNextWindowId = 0x10000;

// Windows gives a process at most this many windows (its USER handle quota);
// creation beyond fails with ERROR_NOT_ENOUGH_QUOTA.
constexpr std::size_t kWindowQuota = 10000;
constexpr DWORD kErrorNotEnoughQuota = 1816;
std::uint32_t gNextMenuId = 0x20000;

std::uint32_t idOf(HWND hwnd) { return static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(hwnd)); }
HWND handleOf(std::uint32_t id) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(id)); }
HMENU menuHandleOf(std::uint32_t id) { return reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)); }

std::unique_ptr<Menu> defaultSystemMenu() {
  auto menu = std::make_unique<Menu>();
  menu->items = {{SC_RESTORE, "&Restore"},  {SC_MOVE, "&Move"},         {SC_SIZE, "&Size"},
                 {SC_MINIMIZE, "Mi&nimize"}, {SC_MAXIMIZE, "Ma&ximize"}, {0, ""},
                 {SC_CLOSE, "&Close\tAlt+F4"}};
  return menu;
}

Menu* findMenu(HMENU handle) {
  auto it = gMenus.find(static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(handle)));
  return it == gMenus.end() ? nullptr : it->second;
}

}  // namespace

Window* findWindow(HWND hwnd) {
  std::lock_guard lock(gRegistryMutex);
  auto it = gWindows.find(idOf(hwnd));
  return it == gWindows.end() ? nullptr : it->second.get();
}

std::shared_ptr<ThreadQueue> queueOfWindow(HWND hwnd) {
  std::lock_guard lock(gRegistryMutex);
  auto it = gWindows.find(idOf(hwnd));
  if (it == gWindows.end() || it->second->destroying) return nullptr;
  return it->second->queue;
}

HWND windowNeedingPaint(ThreadQueue& queue, HWND filter) {
  std::lock_guard lock(gRegistryMutex);
  for (auto& [id, w] : gWindows) {
    if (w->queue.get() == &queue && w->needsPaint && w->visible && (filter == nullptr || filter == handleOf(id)))
      return handleOf(id);
  }
  return nullptr;
}

void invalidateWindow(Window& w, const RECT* area) {
  const RECT client{0, 0, w.rect.right - w.rect.left, w.rect.bottom - w.rect.top};
  RECT r = area ? *area : client;
  r.left = std::max(r.left, client.left);
  r.top = std::max(r.top, client.top);
  r.right = std::min(r.right, client.right);
  r.bottom = std::min(r.bottom, client.bottom);
  // An empty area still asks for a WM_PAINT, as on Windows.
  w.needsPaint = true;
  uniteRect(w.updateRect, r);
}

std::vector<HWND> shownWindows(ThreadQueue& queue) {
  std::vector<std::uint32_t> ids;
  {
    std::lock_guard lock(gRegistryMutex);
    for (auto& [id, w] : gWindows)
      if (w->queue.get() == &queue && w->visible && !w->destroying && !w->parent && !(w->style & WS_CHILD))
        ids.push_back(id);
  }
  std::sort(ids.begin(), ids.end());
  std::vector<HWND> found;
  for (std::uint32_t id : ids) found.push_back(handleOf(id));
  return found;
}

namespace {

bool menuHolds(const Window& w, UINT command) {
  if (!w.systemMenu) return true;  // the untouched default menu has every command
  return std::any_of(w.systemMenu->items.begin(), w.systemMenu->items.end(),
                     [command](const MenuItem& item) { return item.id == command; });
}

}  // namespace

bool systemMenuHolds(HWND hwnd, UINT command) {
  std::lock_guard lock(gRegistryMutex);
  auto it = gWindows.find(idOf(hwnd));
  return it != gWindows.end() && menuHolds(*it->second, command);
}

bool systemMenuHasCommand(HWND hwnd, UINT command) {
  std::lock_guard lock(gRegistryMutex);
  auto it = gWindows.find(idOf(hwnd));
  return it != gWindows.end() && (it->second->style & WS_SYSMENU) && menuHolds(*it->second, command);
}

}  // namespace win32

using namespace win32;

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) {
    setLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard lock(gRegistryMutex);
  const std::string key = classKey(wc->lpszClassName);
  if (gClasses.count(key)) {
    setLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  WindowClass& entry = gClasses[key];
  entry.wc = *wc;
  entry.name = wc->lpszClassName;
  entry.wc.lpszClassName = entry.name.c_str();
  entry.wc.lpszMenuName = nullptr;
  return static_cast<ATOM>(0xC000 + gClasses.size());
}

BOOL WINAPI GetClassInfoA(HINSTANCE, LPCSTR className, WNDCLASSA* wc) {
  std::lock_guard lock(gRegistryMutex);
  auto it = gClasses.find(classKey(className));
  if (it == gClasses.end()) {
    setLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (wc) *wc = it->second.wc;
  return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU, HINSTANCE instance, LPVOID) {
  auto window = std::make_unique<Window>();
  {
    std::lock_guard lock(gRegistryMutex);
    auto it = gClasses.find(classKey(className));
    if (it == gClasses.end()) {
      setLastError(ERROR_CLASS_DOES_NOT_EXIST);
      return nullptr;
    }
    window->className = it->second.name;
    window->proc = it->second.wc.lpfnWndProc;
    window->cursor = it->second.wc.hCursor;
    window->extra.assign(static_cast<std::size_t>(std::max(0, it->second.wc.cbWndExtra)), 0);
  }
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) width = height = 0;
  window->exStyle = exStyle;
  window->style = style;
  window->title = windowName ? windowName : "";
  window->rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
  window->parent = parent;
  window->instance = instance;
  window->visible = (style & WS_VISIBLE) != 0;
  if (window->visible) invalidateWindow(*window, nullptr);
  window->queue = currentQueue();
  Window* created = window.get();
  HWND hwnd;
  {
    std::lock_guard lock(gRegistryMutex);
    if (gWindows.size() >= kWindowQuota) {
      setLastError(kErrorNotEnoughQuota);
      return nullptr;
    }
    window->id = gNextWindowId++;
    hwnd = handleOf(window->id);
    gWindows.emplace(window->id, std::move(window));
  }
  armCapture();
  if (created->visible) displayWindowChanged(*created);
  return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
  Window* w = findWindow(hwnd);
  if (!w || w->destroying) {
    setLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (w->queue != currentQueue()) {
    setLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  {
    std::lock_guard lock(gRegistryMutex);
    w->destroying = true;  // no more posts reach it
  }
  if (w->proc) {
    w->proc(hwnd, WM_DESTROY, 0, 0);
    w->proc(hwnd, WM_NCDESTROY, 0, 0);
  }
  forgetWindowMessages(*w);
  captureWindowClosing(*w);
  displayWindowDestroyed(*w);
  std::lock_guard lock(gRegistryMutex);
  if (w->systemMenu) gMenus.erase(w->systemMenu->handleId);
  gWindows.erase(idOf(hwnd));
  return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) {
  Window* w = findWindow(hwnd);
  return w && !w->destroying ? TRUE : FALSE;
}

namespace {

LONG_PTR* windowLongSlot(Window& w, int index) { return index == GWLP_USERDATA ? &w.userData : nullptr; }

}  // namespace

LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  Window* w = findWindow(hwnd);
  if (!w) {
    setLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (index == GWL_STYLE || index == GWL_EXSTYLE) {
    // Visibility is ShowWindow's; the frame follows at the next SetWindowPos
    // with SWP_FRAMECHANGED, as on Windows.
    DWORD& field = index == GWL_STYLE ? w->style : w->exStyle;
    const DWORD old = field;
    field = static_cast<DWORD>(value);
    if (index == GWL_STYLE) field = (field & ~WS_VISIBLE) | (old & WS_VISIBLE);
    return static_cast<LONG_PTR>(old);
  }
  if (LONG_PTR* slot = windowLongSlot(*w, index)) {
    LONG_PTR old = *slot;
    *slot = value;
    return old;
  }
  if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
    setLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  LONG_PTR old;
  std::memcpy(&old, w->extra.data() + index, sizeof old);
  std::memcpy(w->extra.data() + index, &value, sizeof value);
  setLastError(ERROR_SUCCESS);
  return old;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index) {
  Window* w = findWindow(hwnd);
  if (!w) {
    setLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (index == GWL_STYLE) return static_cast<LONG_PTR>(w->style | (w->visible ? WS_VISIBLE : 0));
  if (index == GWL_EXSTYLE) return static_cast<LONG_PTR>(w->exStyle);
  if (LONG_PTR* slot = windowLongSlot(*w, index)) return *slot;
  if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
    setLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  LONG_PTR value;
  std::memcpy(&value, w->extra.data() + index, sizeof value);
  return value;
}

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SETICON: {
      Window* w = findWindow(hwnd);
      if (!w) return 0;
      HICON old = w->icon;
      if (wParam == ICON_BIG || !w->icon) w->icon = reinterpret_cast<HICON>(lParam);
      displayWindowChanged(*w);
      return reinterpret_cast<LRESULT>(old);
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SETCURSOR:
      // Over the client area the class's cursor, when the class has one;
      // without, the pointer keeps the shape it has.
      if (LOWORD(lParam) == HTCLIENT)
        if (Window* w = findWindow(hwnd); w && w->cursor) SetCursor(w->cursor);
      return FALSE;
    case WM_SYSCOMMAND:
      // A command that the system menu no longer offers does nothing.
      if (!systemMenuHasCommand(hwnd, static_cast<UINT>(wParam & 0xFFF0))) return 0;
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(hwnd, WM_CLOSE, 0, 0);
      return 0;
    default:
      return 0;
  }
}

HMODULE WINAPI GetModuleHandleA(LPCSTR) {
  // The program is one module; any non-null value identifies it.
  return reinterpret_cast<HMODULE>(static_cast<UINT_PTR>(0x400000));
}

BOOL WINAPI ShowWindow(HWND hwnd, int command) {
  Window* w = findWindow(hwnd);
  if (!w) return FALSE;
  const bool wasVisible = w->visible;
  w->visible = command != SW_HIDE;
  if (w->visible && !wasVisible) invalidateWindow(*w, nullptr);
  if (w->visible != wasVisible) displayWindowChanged(*w);
  return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI IsZoomed(HWND hwnd) {
  Window* w = findWindow(hwnd);
  return w && w->maximized ? TRUE : FALSE;
}

// The desktop draws the frame outside the client area and reports no size
// for it: the window rectangle is the client rectangle.
BOOL WINAPI AdjustWindowRectEx(RECT* rect, DWORD, BOOL, DWORD) { return rect ? TRUE : FALSE; }

BOOL WINAPI SetWindowPos(HWND hwnd, HWND, int x, int y, int cx, int cy, UINT flags) {
  Window* w = findWindow(hwnd);
  if (!w) {
    setLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  RECT r = w->rect;
  if (!(flags & SWP_NOMOVE)) r = RECT{x, y, x + (r.right - r.left), y + (r.bottom - r.top)};
  if (!(flags & SWP_NOSIZE)) {
    r.right = r.left + std::max(0, cx);
    r.bottom = r.top + std::max(0, cy);
  }
  const bool resized = r.right - r.left != w->rect.right - w->rect.left || r.bottom - r.top != w->rect.bottom - w->rect.top;
  w->rect = r;
  if (resized) {
    w->pixels.clear();  // a new size shows nothing until painted
    invalidateWindow(*w, nullptr);
  }
  displayWindowChanged(*w);
  return TRUE;
}

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
  Window* w = findWindow(hwnd);
  if (!w) return FALSE;
  w->title = text ? text : "";
  displayWindowChanged(*w);
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, RECT* rect) {
  Window* w = findWindow(hwnd);
  if (!w || !rect) return FALSE;
  *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL) {
  Window* w = findWindow(hwnd);
  if (!w) return FALSE;
  invalidateWindow(*w, rect);
  return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
  Window* w = findWindow(hwnd);
  if (!w) return FALSE;
  if (w->needsPaint && w->visible) SendMessageA(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

HDC WINAPI BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  Window* w = findWindow(hwnd);
  if (!w) return nullptr;
  w->needsPaint = false;
  if (ps) {
    *ps = PAINTSTRUCT{};
    ps->hdc = reinterpret_cast<HDC>(hwnd);
    ps->rcPaint = w->updateRect;
  }
  w->updateRect = RECT{};
  return reinterpret_cast<HDC>(hwnd);
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT*) {
  Window* w = findWindow(hwnd);
  if (w && !w->painted && !w->parent) {
    w->painted = true;
    observe::recordFirstPaint(w->title);
  }
  return TRUE;
}

HMENU WINAPI GetSystemMenu(HWND hwnd, BOOL revert) {
  Window* w = findWindow(hwnd);
  if (!w) return nullptr;
  if (revert) {
    {
      std::lock_guard lock(gRegistryMutex);
      if (!w->systemMenu) return nullptr;
      gMenus.erase(w->systemMenu->handleId);
      w->systemMenu.reset();
    }
    displayWindowFrameChanged(*w);
    return nullptr;
  }
  std::lock_guard lock(gRegistryMutex);
  if (!w->systemMenu) {
    w->systemMenu = defaultSystemMenu();
    w->systemMenu->handleId = gNextMenuId++;
    w->systemMenu->owner = hwnd;
    gMenus[w->systemMenu->handleId] = w->systemMenu.get();
  }
  return menuHandleOf(w->systemMenu->handleId);
}

BOOL WINAPI DeleteMenu(HMENU handle, UINT position, UINT flags) {
  HWND owner = nullptr;
  {
    std::lock_guard lock(gRegistryMutex);
    Menu* menu = findMenu(handle);
    if (!menu) return FALSE;
    auto& items = menu->items;
    auto it = items.end();
    if (!(flags & MF_BYPOSITION))
      it = std::find_if(items.begin(), items.end(), [position](const MenuItem& i) { return i.id == position; });
    else if (position < items.size())
      it = items.begin() + position;
    if (it == items.end()) return FALSE;
    items.erase(it);
    owner = menu->owner;
  }
  // The desktop's frame offers what the menu still holds.
  if (Window* w = findWindow(owner)) displayWindowFrameChanged(*w);
  return TRUE;
}

int WINAPI GetMenuItemCount(HMENU handle) {
  std::lock_guard lock(gRegistryMutex);
  Menu* menu = findMenu(handle);
  return menu ? static_cast<int>(menu->items.size()) : -1;
}

UINT WINAPI GetMenuItemID(HMENU handle, int position) {
  std::lock_guard lock(gRegistryMutex);
  Menu* menu = findMenu(handle);
  if (!menu || position < 0 || static_cast<std::size_t>(position) >= menu->items.size()) return 0xFFFFFFFF;
  return menu->items[static_cast<std::size_t>(position)].id;
}
