// Windows on a real desktop: run under a display of its own
// (tests/support/xvfb.py, 800 x 600). Every check reads the X server
// independently of the platform, through Xlib.
#include <gtest/gtest.h>

#include "platform/Observe.h"
#include "platform/Win32.h"
#include "tests/support/FillWindow.h"

// Xlib's macros (None, Bool, Status) clash with names of the headers above,
// so it comes last.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include "tests/support/XCloseRequest.h"

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// The X server as a second client sees it.
class XClient {
 public:
  XClient() : display_(XOpenDisplay(nullptr)) {}
  ~XClient() {
    if (display_) XCloseDisplay(display_);
  }
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;
  ::Display* display() const { return display_; }

  // The top-level X window named title (0 if none).
  ::Window find(const std::string& title) {
    ::Window root = DefaultRootWindow(display_), parent = 0, *children = nullptr;
    unsigned count = 0;
    ::Window found = 0;
    if (!XQueryTree(display_, root, &root, &parent, &children, &count)) return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
      char* name = nullptr;
      if (XFetchName(display_, children[i], &name) && name) {
        if (title == name) found = children[i];
        XFree(name);
      }
    }
    if (children) XFree(children);
    return found;
  }

  bool mapped(::Window w) {
    XWindowAttributes a;
    return XGetWindowAttributes(display_, w, &a) && a.map_state == IsViewable;
  }

  // The screen's colour 0xRRGGBB at (x, y).
  std::uint32_t pixel(int x, int y) {
    XImage* image = XGetImage(display_, DefaultRootWindow(display_), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xFFFFFFFF;
    const unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return static_cast<std::uint32_t>(p & 0xFFFFFF);  // 24-bit TrueColor: 0xRRGGBB
  }

  // The cursor image under the pointer, as pixels.
  std::vector<unsigned long> cursor() {
    std::vector<unsigned long> pixels;
    if (XFixesCursorImage* image = XFixesGetCursorImage(display_)) {
      pixels.assign(image->pixels, image->pixels + image->width * image->height);
      XFree(image);
    }
    return pixels;
  }

  void pointTo(int x, int y) {
    XWarpPointer(display_, None, DefaultRootWindow(display_), 0, 0, 0, 0, x, y);
    XSync(display_, False);
  }

  void closeRequest(::Window w) { testsupport::SendCloseRequest(display_, w); }

  // The window's Motif hints: flags, functions, decorations (empty if none).
  std::vector<long> motifHints(::Window w) {
    const Atom hints = XInternAtom(display_, "_MOTIF_WM_HINTS", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<long> fields;
    if (XGetWindowProperty(display_, w, hints, 0, 5, False, hints, &type, &format, &items, &after, &data) ==
            Success &&
        data && format == 32 && items >= 3)
      fields.assign(reinterpret_cast<const long*>(data), reinterpret_cast<const long*>(data) + 3);
    if (data) XFree(data);
    return fields;
  }

  // Whether the size hints pin the window to its size.
  bool pinned(::Window w) {
    XSizeHints hints{};
    long supplied = 0;
    return XGetWMNormalHints(display_, w, &hints, &supplied) && (hints.flags & PMinSize) &&
           (hints.flags & PMaxSize) && hints.min_width == hints.max_width && hints.min_height == hints.max_height;
  }

 private:
  ::Display* display_;
};

constexpr int kLeft = 50;
constexpr int kTop = 60;
constexpr int kWidth = 200;
constexpr int kHeight = 100;

struct Recorder {
  std::vector<UINT> messages;
  std::vector<WPARAM> commands;
  std::vector<LPARAM> cursorRequests;
};

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (auto* r = reinterpret_cast<Recorder*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA))) {
    r->messages.push_back(msg);
    if (msg == WM_SYSCOMMAND) r->commands.push_back(wParam);
    if (msg == WM_SETCURSOR && wParam == reinterpret_cast<WPARAM>(hwnd)) r->cursorRequests.push_back(lParam);
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Dispatches messages (which lets the display take the desktop's events and
// bring drawn areas to the screen) until done() or a bounded number of
// rounds has passed.
bool PumpUntil(const std::function<bool()>& done) {
  for (int round = 0; round < 400; ++round) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (done()) return true;
    Sleep(5);
  }
  return done();
}

observe::WindowView View(HWND hwnd) {
  observe::WindowView v;
  observe::viewWindow(hwnd, v);
  return v;
}

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under tests/support/xvfb.py";
    ASSERT_NE(x.display(), nullptr);
    WNDCLASSA wc{};
    if (!GetClassInfoA(nullptr, "DisplayTestWindow", &wc)) {
      wc.lpfnWndProc = &Proc;
      wc.lpszClassName = "DisplayTestWindow";
      RegisterClassA(&wc);
    }
    title = std::string("Display test ") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    hwnd = CreateWindowExA(0, "DisplayTestWindow", title.c_str(), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, kLeft,
                           kTop, kWidth, kHeight, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&recorder));
    Draw(0xFF2040C0u, 0, 0, kWidth, kHeight);
  }
  void TearDown() override {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
  }

  void Draw(std::uint32_t pixel, int left, int top, int width, int height) {
    testsupport::FillWindow(hwnd, pixel, left, top, width, height);
  }

  void ShowAndWaitForTheScreen() {
    ShowWindow(hwnd, SW_SHOW);
    ASSERT_TRUE(View(hwnd).onDesktop);
    ASSERT_TRUE(PumpUntil([&] { return View(hwnd).frames > 0 && x.pixel(kLeft + 5, kTop + 5) == 0x2040C0; }));
  }

  XClient x;
  Recorder recorder;
  std::string title;
  HWND hwnd = nullptr;
};

TEST_F(DisplayTest, AShownWindowIsOnTheDesktopWithItsPixelsAndTitle) {
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
  EXPECT_EQ(x.find(title), 0u) << "hidden windows stay off the desktop";
  ShowAndWaitForTheScreen();
  const ::Window w = x.find(title);
  ASSERT_NE(w, 0u);
  EXPECT_TRUE(x.mapped(w));
  for (auto [px, py] : {std::pair{0, 0}, {kWidth - 1, 0}, {0, kHeight - 1}, {kWidth - 1, kHeight - 1}})
    EXPECT_EQ(x.pixel(kLeft + px, kTop + py), 0x2040C0u) << px << ", " << py;
  EXPECT_NE(x.pixel(kLeft - 1, kTop), 0x2040C0u);
  EXPECT_NE(x.pixel(kLeft + kWidth, kTop + kHeight), 0x2040C0u);
  // Neither resizable nor maximisable: the size hints pin the size.
  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(x.display(), w, &hints, &supplied));
  ASSERT_TRUE(hints.flags & PMinSize);
  ASSERT_TRUE(hints.flags & PMaxSize);
  EXPECT_EQ(hints.min_width, kWidth);
  EXPECT_EQ(hints.max_width, kWidth);
  EXPECT_EQ(hints.min_height, kHeight);
  EXPECT_EQ(hints.max_height, kHeight);
  SetWindowTextA(hwnd, "Renamed");
  XSync(x.display(), False);
  PumpUntil([&] { return x.find("Renamed") != 0; });
  EXPECT_EQ(x.find("Renamed"), w);
}

TEST_F(DisplayTest, TheIconReachesTheDesktop) {
  std::vector<std::uint32_t> icon(16 * 16, 0xFF00FF00u);
  std::vector<BYTE> mask(2 * 16, 0);
  HICON h = CreateIcon(nullptr, 16, 16, 1, 32, mask.data(), reinterpret_cast<const BYTE*>(icon.data()));
  ASSERT_NE(h, nullptr);
  SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(h));
  ShowAndWaitForTheScreen();
  const ::Window w = x.find(title);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(x.display(), w, XInternAtom(x.display(), "_NET_WM_ICON", False), 0, 1024, False,
                               XA_CARDINAL, &type, &format, &items, &after, &data),
            Success);
  ASSERT_NE(data, nullptr);
  const auto* values = reinterpret_cast<const long*>(data);
  ASSERT_GE(items, 2u + 256u);
  EXPECT_EQ(values[0], 16);
  EXPECT_EQ(values[1], 16);
  EXPECT_EQ(static_cast<unsigned long>(values[2]) & 0xFFFFFFFFu, 0xFF00FF00u);
  XFree(data);
  DestroyIcon(h);
}

TEST_F(DisplayTest, DrawingIsGatheredIntoFramesAndExposureShowsAllAtOnce) {
  ShowAndWaitForTheScreen();
  const int before = View(hwnd).frames;
  // Many drawings without a pass of the pump reach the screen as one frame.
  for (int i = 0; i < 100; ++i) Draw(i % 2 ? 0xFF10A010u : 0xFFC02020u, i, 10, 20, 20);
  EXPECT_EQ(View(hwnd).frames, before);
  ASSERT_TRUE(PumpUntil([&] { return View(hwnd).frames > before; }));
  EXPECT_EQ(View(hwnd).frames, before + 1);
  EXPECT_EQ(x.pixel(kLeft + 99 + 10, kTop + 20), 0x10A010u);
  EXPECT_EQ(x.pixel(kLeft + 2, kTop + 50), 0x2040C0u);
  // The desktop wipes the window (as when another window covered it): the
  // exposure brings everything back.
  const int drawn = View(hwnd).frames;
  XClearArea(x.display(), x.find(title), 0, 0, 0, 0, True);
  XFlush(x.display());
  ASSERT_TRUE(PumpUntil([&] { return View(hwnd).frames > drawn; }));
  ASSERT_TRUE(PumpUntil([&] { return x.pixel(kLeft + 150, kTop + 80) == 0x2040C0; }));
  EXPECT_EQ(x.pixel(kLeft + 99 + 10, kTop + 20), 0x10A010u);
}

TEST_F(DisplayTest, ACloseRequestHonoursTheSystemMenu) {
  ShowAndWaitForTheScreen();
  const ::Window w = x.find(title);
  DeleteMenu(GetSystemMenu(hwnd, FALSE), SC_CLOSE, MF_BYCOMMAND);
  x.closeRequest(w);
  ASSERT_TRUE(PumpUntil([&] { return !recorder.commands.empty(); }));
  EXPECT_EQ(recorder.commands[0] & 0xFFF0, SC_CLOSE);
  EXPECT_TRUE(IsWindow(hwnd)) << "no Close command: the request does nothing";
  EXPECT_TRUE(x.mapped(w));
  // With Close back in the menu the same request closes the window.
  GetSystemMenu(hwnd, TRUE);
  x.closeRequest(w);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd); }));
  XSync(x.display(), False);
  EXPECT_EQ(x.find(title), 0u);
}

TEST_F(DisplayTest, HidingTakesTheWindowOffTheDesktop) {
  ShowAndWaitForTheScreen();
  const ::Window w = x.find(title);
  ShowWindow(hwnd, SW_HIDE);
  XSync(x.display(), False);
  EXPECT_TRUE(PumpUntil([&] { return !x.mapped(w); }));
  ShowWindow(hwnd, SW_SHOW);
  EXPECT_TRUE(PumpUntil([&] { return x.mapped(w) && x.pixel(kLeft + 5, kTop + 5) == 0x2040C0; }));
}

// The Motif hints' bits: the functions a window manager may apply and the
// decorations it draws.
constexpr long kHintsFunctionsAndDecorations = 3;
constexpr long kResize = 2, kMove = 4, kMinimize = 8, kMaximize = 16, kClose = 32;
constexpr long kBorder = 2, kSizingBorder = 4, kTitle = 8, kMenuButton = 16, kMinimizeButton = 32,
               kMaximizeButton = 64;
constexpr DWORD kFullStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

// Whether the window's hints become the functions and decorations while the
// display takes its events (the property is written on another connection).
::testing::AssertionResult HintsBecome(XClient& x, ::Window w, long functions, long decorations) {
  const std::vector<long> wanted{kHintsFunctionsAndDecorations, functions, decorations};
  PumpUntil([&] { return x.motifHints(w) == wanted; });
  const std::vector<long> seen = x.motifHints(w);
  if (seen == wanted) return ::testing::AssertionSuccess();
  auto text = [](const std::vector<long>& v) {
    std::string t;
    for (long f : v) t += std::to_string(f) + " ";
    return t;
  };
  return ::testing::AssertionFailure() << "hints " << text(seen) << "instead of " << text(wanted);
}

TEST_F(DisplayTest, TheLaunchersWindowOffersTheMinimiseButtonAlone) {
  // Its style has a single border, a system menu and a minimise box; its
  // system menu loses every window command before it is shown.
  HMENU menu = GetSystemMenu(hwnd, FALSE);
  for (int command : {SC_MAXIMIZE, SC_MINIMIZE, SC_RESTORE, 0, SC_SIZE, SC_CLOSE, SC_MOVE})
    DeleteMenu(menu, static_cast<UINT>(command), MF_BYCOMMAND);
  ShowAndWaitForTheScreen();
  const ::Window w = x.find(title);
  EXPECT_TRUE(HintsBecome(x, w, kMinimize, kBorder | kTitle | kMenuButton | kMinimizeButton));
  EXPECT_TRUE(x.pinned(w));
}

TEST_F(DisplayTest, AWindowWithEveryBoxAndItsWholeMenuOffersEverythingUntilTheMenuOrStyleChange) {
  DestroyWindow(hwnd);
  hwnd = CreateWindowExA(0, "DisplayTestWindow", title.c_str(), kFullStyle, kLeft, kTop, kWidth, kHeight, nullptr,
                         nullptr, nullptr, nullptr);
  Draw(0xFF2040C0u, 0, 0, kWidth, kHeight);
  ShowAndWaitForTheScreen();
  const ::Window w = x.find(title);
  constexpr long kAllButtons = kBorder | kTitle | kSizingBorder | kMenuButton | kMinimizeButton | kMaximizeButton;
  EXPECT_TRUE(HintsBecome(x, w, kResize | kMove | kMinimize | kMaximize | kClose, kAllButtons));
  EXPECT_FALSE(x.pinned(w));

  // Each command leaves with its menu item; the minimise box keeps
  // minimising without one, and the buttons stay with the style.
  HMENU menu = GetSystemMenu(hwnd, FALSE);
  DeleteMenu(menu, SC_CLOSE, MF_BYCOMMAND);
  EXPECT_TRUE(HintsBecome(x, w, kResize | kMove | kMinimize | kMaximize, kAllButtons));
  DeleteMenu(menu, SC_MINIMIZE, MF_BYCOMMAND);
  DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
  EXPECT_TRUE(HintsBecome(x, w, kResize | kMove | kMinimize, kAllButtons));
  DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
  DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
  EXPECT_TRUE(HintsBecome(x, w, kMinimize, kAllButtons));
  EXPECT_TRUE(x.pinned(w)) << "neither sizable nor maximisable";
  GetSystemMenu(hwnd, TRUE);
  EXPECT_TRUE(HintsBecome(x, w, kResize | kMove | kMinimize | kMaximize | kClose, kAllButtons));
  EXPECT_FALSE(x.pinned(w));

  // Without its maximise box the window neither shows nor offers maximising
  // once its frame is redone.
  SetWindowLongPtrA(hwnd, GWL_STYLE, static_cast<LONG_PTR>(kFullStyle & ~WS_MAXIMIZEBOX));
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  EXPECT_TRUE(HintsBecome(x, w, kResize | kMove | kMinimize | kClose, kAllButtons & ~kMaximizeButton));
}

TEST_F(DisplayTest, TheApplicationStartingCursorShowsOverTheWindow) {
  ShowAndWaitForTheScreen();
  x.pointTo(kLeft + 20, kTop + 20);
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  ASSERT_TRUE(PumpUntil([&] { return !x.cursor().empty(); }));
  const std::vector<unsigned long> arrow = x.cursor();
  SetCursor(LoadCursorA(nullptr, IDC_APPSTARTING));
  EXPECT_TRUE(PumpUntil([&] { return x.cursor() != arrow; })) << "the wait arrow";
  const std::vector<unsigned long> busy = x.cursor();
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_TRUE(PumpUntil([&] { return x.cursor() == arrow; }));
  EXPECT_NE(busy, arrow);
}

// As on Windows, the window is asked for its cursor when the pointer moves
// over it; a class without a cursor leaves the pointer as it is.
TEST_F(DisplayTest, APointerMovingOverTheWindowAsksItForItsCursor) {
  ShowAndWaitForTheScreen();
  x.pointTo(kLeft - 20, kTop - 20);
  int rounds = 0;
  PumpUntil([&] { return ++rounds > 10; });  // the pointer has left
  recorder.cursorRequests.clear();
  SetCursor(LoadCursorA(nullptr, IDC_APPSTARTING));
  x.pointTo(kLeft + 30, kTop + 30);
  ASSERT_TRUE(PumpUntil([&] { return !recorder.cursorRequests.empty(); }));
  EXPECT_EQ(recorder.cursorRequests.front(), MAKELONG(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(observe::currentCursor(), 32650);
}

TEST_F(DisplayTest, BeepsAreRecordedAndNeverHoldTheProgramUp) {
  ShowAndWaitForTheScreen();
  const std::size_t before = observe::beeps().size();
  for (int i = 0; i < 20; ++i) MessageBeep(MB_ICONASTERISK);
  EXPECT_EQ(observe::beeps().size(), before + 20);
  EXPECT_EQ(observe::beeps().back(), MB_ICONASTERISK);
}

}  // namespace
