#include "classlib/Forms.h"

#include "classlib/Screen.h"
#include "platform/Win32.h"

#include <vector>

// ------------------------------------------------------------------- TIcon

TIcon::TIcon() = default;
TIcon::~TIcon() = default;

void TIcon::LoadFromMemory(const unsigned char* data, std::size_t size) {
  bitmap_.LoadFromPng(data, size);
  Changed();
}

void TIcon::Draw(TCanvas& canvas, const TRect& rect) { canvas.StretchDraw(rect, bitmap_); }

// ------------------------------------------------------------------- TForm

struct TForm::WindowProc {
  static constexpr const char* kClassName = "ClasslibForm";

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!form) return DefWindowProcA(hwnd, msg, wParam, lParam);
    try {
      return form->WndProc(msg, wParam, lParam);
    } catch (const std::exception& e) {
      Application->HandleException(form, e);
      return 0;
    }
  }

  static void Register() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    if (GetClassInfoA(instance, kClassName, &wc)) return;
    wc.lpfnWndProc = &Proc;
    wc.hInstance = instance;
    // The arrow over the client area: without a class cursor the pointer
    // keeps whatever shape it came in with (an I-beam, a sizing arrow).
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
  }
};

namespace {

struct WindowStyle {
  DWORD style;
  DWORD exStyle;
};

WindowStyle styleOf(TBorderStyle border, TBorderIcons icons) {
  WindowStyle s{WS_CLIPCHILDREN, 0};
  bool boxes = false;
  switch (border) {
    case bsNone: s.style |= WS_POPUP; break;
    case bsSingle: s.style |= WS_CAPTION | WS_BORDER; boxes = true; break;
    case bsSizeable: s.style |= WS_CAPTION | WS_THICKFRAME; boxes = true; break;
    case bsDialog:
      s.style |= WS_POPUP | WS_CAPTION;
      s.exStyle |= WS_EX_DLGMODALFRAME;
      break;
    case bsToolWindow:
      s.style |= WS_CAPTION;
      s.exStyle |= WS_EX_TOOLWINDOW;
      break;
    case bsSizeToolWin:
      s.style |= WS_CAPTION | WS_THICKFRAME;
      s.exStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  if (border != bsNone && icons.Contains(biSystemMenu)) {
    s.style |= WS_SYSMENU;
    if (boxes && icons.Contains(biMinimize)) s.style |= WS_MINIMIZEBOX;
    if (boxes && icons.Contains(biMaximize)) s.style |= WS_MAXIMIZEBOX;
  }
  return s;
}

// Whether the window's system menu has the command.
bool SystemMenuOffers(HWND hwnd, UINT command) {
  HMENU menu = GetSystemMenu(hwnd, FALSE);
  for (int i = 0; i < GetMenuItemCount(menu); ++i)
    if (GetMenuItemID(menu, i) == command) return true;
  return false;
}

// The window's outer size for a client size.
RECT windowRect(const RECT& client, const WindowStyle& s) {
  RECT r = client;
  AdjustWindowRectEx(&r, s.style, FALSE, s.exStyle);
  return r;
}

}  // namespace

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  WindowProc::Register();
  SetColor(clBtnFace);
  const WindowStyle s = styleOf(borderStyle_, borderIcons_);
  handle_ = CreateWindowExA(s.exStyle, WindowProc::kClassName, "", s.style, 0, 0, 0, 0, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  if (!handle_) throw EOutOfResources("Error creating window");
  SetWindowLongPtrA(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  icon_.OnChange = TNotifyEvent(this, &TForm::IconChanged);
  SetVisible(false);
}

TForm::~TForm() {
  icon_.OnChange = nullptr;
  SetWindowLongPtrA(handle_, GWLP_USERDATA, 0);
  DestroyWindow(handle_);
  if (iconHandle_) DestroyIcon(iconHandle_);
}

void TForm::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  UpdateStyle();
}

void TForm::SetBorderIcons(TBorderIcons value) {
  if (value == borderIcons_) return;
  borderIcons_ = value;
  UpdateStyle();
}

void TForm::UpdateStyle() {
  const WindowStyle s = styleOf(borderStyle_, borderIcons_);
  const DWORD visible = static_cast<DWORD>(GetWindowLongPtrA(handle_, GWL_STYLE)) & WS_VISIBLE;
  SetWindowLongPtrA(handle_, GWL_STYLE, static_cast<LONG_PTR>(s.style | visible));
  SetWindowLongPtrA(handle_, GWL_EXSTYLE, static_cast<LONG_PTR>(s.exStyle));
  // The outer size follows the new frame; the client size stays.
  const RECT outer = windowRect(RECT{0, 0, Width(), Height()}, s);
  SetWindowPos(handle_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TForm::SetBounds(int left, int top, int width, int height) {
  TWinControl::SetBounds(left, top, width, height);
  if (syncing_ || !handle_) return;
  const RECT outer = windowRect(RECT{Left(), Top(), Left() + Width(), Top() + Height()},
                                styleOf(borderStyle_, borderIcons_));
  SetWindowPos(handle_, nullptr, outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::TextChanged() { SetWindowTextA(handle_, Caption().c_str()); }

void TForm::VisibleChanged() { ShowWindow(handle_, Visible() ? SW_SHOW : SW_HIDE); }

void TForm::IconChanged(TObject*) {
  HICON old = iconHandle_;
  iconHandle_ = nullptr;
  const TBitmap& b = *icon_.Bitmap();
  if (!b.Empty()) {
    // A 32-bit icon carries its alpha; the AND mask is all zeros (rows of
    // whole 16-bit words).
    const std::size_t maskRow = static_cast<std::size_t>((b.Width() + 15) / 16 * 2);
    std::vector<BYTE> mask(maskRow * static_cast<std::size_t>(b.Height()), 0);
    iconHandle_ = CreateIcon(GetModuleHandleA(nullptr), b.Width(), b.Height(), 1, 32, mask.data(),
                             reinterpret_cast<const BYTE*>(b.Bits()));
  }
  SendMessageA(handle_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(iconHandle_));
  SendMessageA(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(iconHandle_));
  if (old) DestroyIcon(old);
}

void TForm::ShowMainWindow() {
  if (position_ == poScreenCenter || position_ == poDesktopCenter) {
    SetBounds((GetSystemMetrics(SM_CXSCREEN) - Width()) / 2, (GetSystemMetrics(SM_CYSCREEN) - Height()) / 2,
              Width(), Height());
  }
  Show();
  UpdateWindow(handle_);
}

void TForm::Close() {
  if (Application->MainForm() == this)
    Application->Terminate();
  else
    Hide();
}

bool TForm::IsMaximized() const { return IsZoomed(handle_) != FALSE; }

void TForm::DoCreate() {
  if (!OnCreate) return;
  try {
    OnCreate(this);
  } catch (const std::exception& e) {
    Application->HandleException(this, e);
  }
}

std::intptr_t TForm::WndProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(handle_, &ps);
      try {
        Update();
        CopyToWindow(dc, Rect(ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom));
      } catch (...) {
        EndPaint(handle_, &ps);
        throw;
      }
      EndPaint(handle_, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint cycle erases
    case WM_SETCURSOR:
      // The system would put the class's arrow over a busy cursor.
      if (Screen->ApplyCursor()) return TRUE;
      return DefWindowProcA(handle_, message, wParam, lParam);
    case WM_CLOSE:
      Close();
      return 0;
    case WM_SYSCOMMAND:
      // A window without Close in its system menu cannot be closed by the
      // command either (Alt+F4, or one sent by another program): the
      // system's own handling does not look at the menu.
      if ((wParam & 0xFFF0) == SC_CLOSE && !SystemMenuOffers(handle_, SC_CLOSE)) return 0;
      return DefWindowProcA(handle_, message, wParam, lParam);
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) {
        syncing_ = true;
        try {
          SetBounds(Left(), Top(), LOWORD(lParam), HIWORD(lParam));
        } catch (...) {
          syncing_ = false;
          throw;
        }
        syncing_ = false;
      }
      return 0;
    default:
      return DefWindowProcA(handle_, message, wParam, lParam);
  }
}

void TForm::CopyToWindow(void* dc, const TRect& area) {
  TBitmap* surface = Surface();
  const TRect r = IntersectRect(area, Rect(0, 0, surface->Width(), surface->Height()));
  if (r.IsEmpty()) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = surface->Width();
  info.bmiHeader.biHeight = -surface->Height();  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  // The source's y counts from the surface's bottom row up, even for rows
  // stored top-down.
  SetDIBitsToDevice(static_cast<HDC>(dc), r.Left, r.Top, static_cast<DWORD>(r.Width()),
                    static_cast<DWORD>(r.Height()), r.Left, surface->Height() - r.Bottom, 0,
                    static_cast<UINT>(surface->Height()), surface->Bits(), &info, DIB_RGB_COLORS);
}

void TForm::SurfaceChanged(const TRect& area) {
  HDC dc = GetDC(handle_);
  if (!dc) return;
  CopyToWindow(dc, area);
  ReleaseDC(handle_, dc);
}

void TForm::PaintRequested() {
  const TRect area = InvalidArea();
  const RECT r{area.Left, area.Top, area.Right, area.Bottom};
  InvalidateRect(handle_, &r, FALSE);
}
