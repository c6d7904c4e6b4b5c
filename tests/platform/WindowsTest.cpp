#include "platform/Win32.h"
#include "platform/Observe.h"
#include "tests/support/RecordingWindow.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

namespace {

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST(WindowClasses, RegisterOnceAndLookUpCaseInsensitively) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = &PlainProc;
  wc.cbWndExtra = 4;
  wc.lpszClassName = "WindowsTestClass";
  ASSERT_NE(RegisterClassA(&wc), 0);
  EXPECT_EQ(RegisterClassA(&wc), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
  WNDCLASSA found{};
  ASSERT_TRUE(GetClassInfoA(nullptr, "windowstestclass", &found));
  EXPECT_EQ(found.lpfnWndProc, &PlainProc);
  EXPECT_EQ(found.cbWndExtra, 4);
  EXPECT_FALSE(GetClassInfoA(nullptr, "NoSuchClass", &found));
}

TEST(Windows, CreationFailsForAnUnknownClass) {
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
}

TEST(Windows, ExtraDataHoldsAPointerPerWindow) {
  testsupport::RecordingWindow a;
  testsupport::RecordingWindow b;
  EXPECT_NE(a.hwnd, b.hwnd);
  EXPECT_EQ(GetWindowLongPtrA(a.hwnd, 0), reinterpret_cast<LONG_PTR>(&a));
  EXPECT_EQ(GetWindowLongPtrA(b.hwnd, 0), reinterpret_cast<LONG_PTR>(&b));
  EXPECT_EQ(SetWindowLongPtrA(a.hwnd, 0, 77), reinterpret_cast<LONG_PTR>(&a));
  EXPECT_EQ(GetWindowLongPtrA(a.hwnd, 0), 77);
  SetWindowLongPtrA(a.hwnd, 0, reinterpret_cast<LONG_PTR>(&a));
  // Beyond the extra bytes the class asked for.
  EXPECT_EQ(GetWindowLongPtrA(a.hwnd, 8), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Windows, DestroyWindowSendsDestroyAndInvalidatesTheHandleForGood) {
  WNDCLASSA wc{};
  static int destroys = 0;
  wc.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
    if (msg == WM_DESTROY) ++destroys;
    return DefWindowProcA(hwnd, msg, w, l);
  };
  wc.lpszClassName = "DestroyCounting";
  RegisterClassA(&wc);
  HWND first = CreateWindowExA(0, "DestroyCounting", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(DestroyWindow(first));
  EXPECT_EQ(destroys, 1);
  EXPECT_FALSE(DestroyWindow(first));
  HWND second = CreateWindowExA(0, "DestroyCounting", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  EXPECT_NE(first, second);  // handles are never reused
  DestroyWindow(second);
}

// The start-up benchmark takes the first paint of the launcher's window from
// this record (its trace line): one per top-level window, when the first
// EndPaint is done.
TEST(Windows, OnlyTheFirstPaintOfATopLevelWindowIsObserved) {
  auto now = [] {
    return static_cast<std::int64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count());
  };
  WNDCLASSA wc{};
  wc.lpfnWndProc = &PlainProc;  // paints with BeginPaint and EndPaint
  wc.lpszClassName = "FirstPaintObserved";
  RegisterClassA(&wc);
  observe::reset();
  const std::int64_t before = now();
  HWND top = CreateWindowExA(0, "FirstPaintObserved", "Top", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
  HWND child = CreateWindowExA(0, "FirstPaintObserved", "Child", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, top, nullptr,
                               nullptr, nullptr);
  ASSERT_TRUE(top && child);
  EXPECT_TRUE(observe::firstPaints().empty());  // created, not painted yet
  UpdateWindow(child);
  UpdateWindow(top);
  InvalidateRect(top, nullptr, FALSE);
  UpdateWindow(top);
  const std::int64_t after = now();
  const auto paints = observe::firstPaints();
  ASSERT_EQ(paints.size(), 1u);
  EXPECT_EQ(paints[0].title, "Top");
  EXPECT_LE(before, paints[0].monotonicNs);
  EXPECT_LE(paints[0].monotonicNs, after);
  EXPECT_GT(paints[0].cpuNs, 0);
  DestroyWindow(child);
  DestroyWindow(top);
}

TEST(SystemMenu, DeletingByCommandRemovesExactlyThoseItems) {
  testsupport::RecordingWindow classOwner;  // makes sure the class exists
  HWND hwnd = CreateWindowExA(0, "RecordingWindow", "Menu", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 100,
                              100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  HMENU menu = GetSystemMenu(hwnd, FALSE);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetSystemMenu(hwnd, FALSE), menu);
  EXPECT_EQ(GetMenuItemCount(menu), 7);
  EXPECT_TRUE(DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND));
  EXPECT_FALSE(DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND));
  EXPECT_TRUE(DeleteMenu(menu, 0, MF_BYCOMMAND));  // the separator has identifier 0
  EXPECT_EQ(GetMenuItemCount(menu), 5);
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    EXPECT_NE(GetMenuItemID(menu, i), SC_MAXIMIZE);
    EXPECT_NE(GetMenuItemID(menu, i), 0u);
  }
  EXPECT_EQ(GetSystemMenu(hwnd, TRUE), nullptr);  // revert
  EXPECT_EQ(GetMenuItemCount(GetSystemMenu(hwnd, FALSE)), 7);
  DestroyWindow(hwnd);
}

}  // namespace
