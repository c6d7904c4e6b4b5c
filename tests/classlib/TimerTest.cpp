#include "classlib/Timer.h"
#include "platform/Win32.h"
#include "tests/support/RecordingWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Pumps until the log holds count entries.
void pumpUntil(const std::vector<std::string>& log, std::size_t count) {
  MSG msg;
  while (log.size() < count && GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
}

TEST(TTimer, EnablingAnEnabledTimerDoesNotRestartItsPeriod) {
  std::vector<std::string> log;
  TTimer a(nullptr);
  TTimer b(nullptr);
  b.SetEnabled(false);
  a.SetInterval(100);
  a.SetOnTimer([&](TObject*) { log.push_back("a"); });
  Sleep(60);
  a.SetEnabled(true);  // no change: A stays due 100 ms after it started
  b.SetInterval(50);
  b.SetOnTimer([&](TObject*) { log.push_back("b"); });
  b.SetEnabled(true);  // due at least 110 ms after A started
  pumpUntil(log, 2);
  EXPECT_EQ(log, (std::vector<std::string>{"a", "b"}));
}

TEST(TTimer, ATimerWithoutHandlerOrIntervalOrDisabledDoesNotRun) {
  std::vector<std::string> log;
  TTimer idle(nullptr);  // enabled, 1000 ms, no handler
  TTimer zero(nullptr);
  zero.SetInterval(0);
  zero.SetOnTimer([&](TObject*) { log.push_back("zero"); });
  TTimer off(nullptr);
  off.SetEnabled(false);
  off.SetInterval(10);
  off.SetOnTimer([&](TObject*) { log.push_back("off"); });
  TTimer probe(nullptr);
  probe.SetInterval(40);
  probe.SetOnTimer([&](TObject*) { log.push_back("probe"); });
  pumpUntil(log, 1);
  EXPECT_EQ(log, (std::vector<std::string>{"probe"}));
}

}  // namespace
