#include "classlib/Application.h"
#include "net/socket/TcpSocket.h"
#include "net/socket/ThreadTimer.h"
#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void pumpUntil(const std::vector<std::string>& log, std::size_t count) {
  MSG msg;
  while (log.size() < count && GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
}

TEST(TThreadTimer, StartsEnabledWithASecondAndRunsOnlyWithAHandler) {
  TThreadTimer timer(nullptr);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000u);
  ASSERT_NE(timer.WindowHandle(), nullptr);
  EXPECT_FALSE(KillTimer(timer.WindowHandle(), 1));  // no handler yet, so no window timer
  WNDCLASSA wc{};
  EXPECT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "TmrWindowClass", &wc));
}

TEST(TThreadTimer, SettingEnabledToItsValueDoesNothingButSettingOnTimerAlwaysRestarts) {
  std::vector<std::string> log;
  TThreadTimer a(nullptr);
  TThreadTimer b(nullptr);
  b.SetEnabled(false);
  a.SetInterval(100);
  TNotifyEvent tickA = [&](TObject*) { log.push_back("a"); };
  a.SetOnTimer(tickA);
  Sleep(60);
  a.SetEnabled(true);  // unchanged: still due 100 ms after the start
  b.SetInterval(50);
  b.SetOnTimer([&](TObject*) { log.push_back("b"); });
  b.SetEnabled(true);
  pumpUntil(log, 2);
  EXPECT_EQ(log, (std::vector<std::string>{"a", "b"}));

  // Setting the same handler again restarts A's period from now.
  log.clear();
  a.SetEnabled(false);
  b.SetEnabled(false);
  a.SetEnabled(true);
  Sleep(60);
  a.SetOnTimer(tickA);  // A now due 100 ms from here
  b.SetEnabled(true);   // B due 50 ms from here
  pumpUntil(log, 1);
  EXPECT_EQ(log, (std::vector<std::string>{"b"}));
}

TEST(TThreadTimer, AnExceptionFromTheHandlerGoesToTheApplicationAndTheTimerRunsOn) {
  std::vector<std::string> log;
  TApplication* app = Application;
  app->OnException = [&](TObject* sender, const std::exception& e) {
    EXPECT_NE(dynamic_cast<TThreadTimer*>(sender), nullptr);
    log.push_back(e.what());
  };
  {
    TThreadTimer timer(nullptr);
    timer.SetInterval(10);
    timer.SetOnTimer([](TObject*) { throw Exception("tick failed"); });
    pumpUntil(log, 2);
  }
  app->OnException = nullptr;
  EXPECT_EQ(log, (std::vector<std::string>{"tick failed", "tick failed"}));
}

TEST(TThreadTimer, ActivationOfTheApplicationIsNotPassedOn) {
  TThreadTimer timer(nullptr);
  EXPECT_EQ(SendMessageA(timer.WindowHandle(), WM_ACTIVATEAPP, 1, 0), 0);
}

TEST(SocketTimeOut, TimeOutZeroLeavesNoTimerRunningAndNeverTimesOut) {
  TTcpSocket socket(nullptr);
  socket.TimeOut = 0;
  socket.TimerOn();
  EXPECT_FALSE(KillTimer(socket.Timer->WindowHandle(), 1));
  std::vector<std::string> log;
  TThreadTimer probe(nullptr);
  probe.SetInterval(50);
  probe.SetOnTimer([&](TObject*) { log.push_back("probe"); });
  pumpUntil(log, 1);
  EXPECT_FALSE(socket.TimedOut);
  EXPECT_FALSE(socket.Canceled);
}

TEST(SocketTimeOut, ATriggerDuringAWaitEndsItAsACancelWithTimedOutSet) {
  TTcpSocket socket(nullptr);
  socket.ReportLevel = 8;
  std::vector<std::string> status;
  socket.OnStatus = [&](TComponent*, const std::string& s) { status.push_back(s); };
  socket.TimeOut = 30;
  socket.TimerOn();
  EXPECT_FALSE(socket.TimedOut);
  // A network wait: poll the flags while pumping.
  while (!socket.Canceled && !socket.EventArrived) {
    Application->ProcessMessages();
    Sleep(2);
  }
  EXPECT_TRUE(socket.TimedOut);
  EXPECT_TRUE(socket.EventArrived);
  EXPECT_TRUE(socket.Canceled);
  EXPECT_FALSE(socket.Timer->Enabled());
  EXPECT_FALSE(KillTimer(socket.Timer->WindowHandle(), 1));
  const std::vector<std::string> expected{"Timer On", "Timer Triggered", "Timer Off", "Abort", "Canceling"};
  EXPECT_EQ(status, expected);
  // The next TimerOn clears TimedOut.
  socket.TimerOn();
  EXPECT_FALSE(socket.TimedOut);
  socket.TimerOff();
}

TEST(SocketTimeOut, EachTimerOnMeasuresFromNow) {
  TTcpSocket socket(nullptr);
  std::vector<std::string> log;
  socket.TimeOut = 100;
  socket.TimerOn();
  Sleep(60);
  socket.TimerOn();  // re-armed: due 100 ms from here
  TThreadTimer probe(nullptr);
  probe.SetInterval(50);
  probe.SetOnTimer([&](TObject* sender) {
    log.push_back("probe");
    static_cast<TThreadTimer*>(sender)->SetEnabled(false);
  });
  MSG msg;
  while (!socket.TimedOut && GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
  EXPECT_EQ(log, (std::vector<std::string>{"probe"}));
}

TEST(SocketTimeOut, ANegativeTimeOutIsARangeError) {
  TTcpSocket socket(nullptr);
  socket.TimeOut = -1;
  EXPECT_THROW(socket.TimerOn(), ERangeError);
}

}  // namespace
