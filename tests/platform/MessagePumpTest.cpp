#include "platform/Win32.h"
#include "tests/support/RecordingWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using testsupport::pumpPending;
using testsupport::RecordingWindow;

namespace {

constexpr UINT kFirst = WM_USER + 1;
constexpr UINT kSecond = WM_USER + 2;
constexpr UINT kThird = WM_USER + 3;

TEST(MessagePump, PostedMessageComesBeforeADueTimer) {
  RecordingWindow w;
  SetTimer(w.hwnd, 7, 10, nullptr);
  Sleep(40);  // the timer is due now
  PostMessageA(w.hwnd, kFirst, 1, 2);
  MSG msg;
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, kFirst);
  EXPECT_EQ(msg.wParam, 1u);
  EXPECT_EQ(msg.lParam, 2);
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(msg.hwnd, w.hwnd);
  EXPECT_EQ(msg.wParam, 7u);
  KillTimer(w.hwnd, 7);
}

TEST(MessagePump, AtMostOneTimerMessagePendingPerTimerHoweverLongTheThreadWasBusy) {
  RecordingWindow w;
  SetTimer(w.hwnd, 1, 10, nullptr);
  SetTimer(w.hwnd, 2, 10, nullptr);
  Sleep(200);  // twenty periods pass without pumping
  pumpPending();
  EXPECT_EQ(w.count(WM_TIMER), 2);  // one per timer
  int ones = 0;
  for (auto& d : w.delivered) ones += d.message == WM_TIMER && d.wParam == 1;
  EXPECT_EQ(ones, 1);
  KillTimer(w.hwnd, 1);
  KillTimer(w.hwnd, 2);
}

TEST(MessagePump, KillTimerLeavesNothingOfTheTimerToDeliver) {
  RecordingWindow w;
  SetTimer(w.hwnd, 1, 10, nullptr);
  Sleep(30);
  EXPECT_TRUE(KillTimer(w.hwnd, 1));
  EXPECT_FALSE(KillTimer(w.hwnd, 1));  // gone
  Sleep(30);
  pumpPending();
  EXPECT_EQ(w.count(WM_TIMER), 0);
}

TEST(MessagePump, DestroyWindowLeavesNothingOfTheWindowToDeliver) {
  auto w = std::make_unique<RecordingWindow>();
  HWND hwnd = w->hwnd;
  SetTimer(hwnd, 1, 10, nullptr);
  PostMessageA(hwnd, kFirst, 0, 0);
  Sleep(30);
  ASSERT_TRUE(DestroyWindow(hwnd));
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_FALSE(PostMessageA(hwnd, kSecond, 0, 0));  // a stale handle reaches nothing
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_TRUE(w->delivered.empty());
}

TEST(MessagePump, AHandlerThatPumpsInsideItselfSeesTimersAndPostsAndTheOuterLoopResumes) {
  RecordingWindow w;
  int nestedTimers = 0;
  bool sawSecondInside = false;
  bool inside = false;
  w.onMessage = [&](UINT msg, WPARAM, LPARAM) {
    if (msg == kFirst) {
      // A network wait: pump until the timer ticked twice.
      inside = true;
      PostMessageA(w.hwnd, kSecond, 0, 0);
      SetTimer(w.hwnd, 3, 10, nullptr);
      while (nestedTimers < 2) {
        pumpPending();
        Sleep(2);
      }
      KillTimer(w.hwnd, 3);
      inside = false;
    } else if (msg == WM_TIMER && inside) {
      ++nestedTimers;
    } else if (msg == kSecond) {
      sawSecondInside = inside;
    }
  };
  PostMessageA(w.hwnd, kFirst, 0, 0);
  PostMessageA(w.hwnd, kThird, 0, 0);  // queued behind the first
  MSG msg;
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  ASSERT_EQ(msg.message, kFirst);
  DispatchMessageA(&msg);  // pumps everything else inside, including kThird
  EXPECT_TRUE(sawSecondInside);
  EXPECT_EQ(nestedTimers, 2);
  ASSERT_EQ(w.delivered.size(), 5u);
  EXPECT_EQ(w.delivered[0].message, kFirst);
  EXPECT_EQ(w.delivered[1].message, kThird);  // posted first, so dispatched first inside
  EXPECT_EQ(w.delivered[2].message, kSecond);
  // The outer loop resumes: a new post is the next message.
  PostMessageA(w.hwnd, kSecond, 9, 0);
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, kSecond);
  EXPECT_EQ(msg.wParam, 9u);
}

TEST(MessagePump, PostFromAnotherThreadWakesABlockedGetMessage) {
  RecordingWindow w;
  std::atomic<bool> posted{false};
  std::thread poster([&] {
    Sleep(50);
    posted = true;
    PostMessageA(w.hwnd, kFirst, 42, 0);
  });
  MSG msg;
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));  // blocks: no timers, nothing queued
  EXPECT_TRUE(posted);
  EXPECT_EQ(msg.message, kFirst);
  EXPECT_EQ(msg.wParam, 42u);
  poster.join();
}

TEST(MessagePump, WaitMessageReturnsWhenAPostArrivesFromAnotherThread) {
  RecordingWindow w;
  std::thread poster([&] {
    Sleep(20);
    PostMessageA(w.hwnd, kFirst, 0, 0);
  });
  WaitMessage();
  EXPECT_EQ(pumpPending(), 1);
  poster.join();
}

TEST(MessagePump, QuitEndsGetMessageAfterThePostedMessages) {
  RecordingWindow w;
  PostMessageA(w.hwnd, kFirst, 0, 0);
  PostQuitMessage(3);
  MSG msg;
  EXPECT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, kFirst);
  EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
}

TEST(MessagePump, TimersOfDifferentPeriodsTickInOrderOfTheirDueTimes) {
  RecordingWindow w;
  SetTimer(w.hwnd, 1, 60, nullptr);
  SetTimer(w.hwnd, 2, 20, nullptr);
  MSG msg;
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.wParam, 2u);
  KillTimer(w.hwnd, 1);
  KillTimer(w.hwnd, 2);
}

TEST(MessagePump, SendMessageCallsTheWindowProcedureAtOnce) {
  RecordingWindow w;
  PostMessageA(w.hwnd, kFirst, 0, 0);
  SendMessageA(w.hwnd, kSecond, 5, 6);
  ASSERT_EQ(w.delivered.size(), 1u);
  EXPECT_EQ(w.delivered[0].message, kSecond);
  pumpPending();
  EXPECT_EQ(w.delivered.size(), 2u);
}

TEST(MessagePump, APeekThatDoesNotRemoveLeavesTheMessage) {
  RecordingWindow w;
  PostMessageA(w.hwnd, kFirst, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, kFirst);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

}  // namespace
