#include "tests/support/FtpServerProcess.h"

#include <chrono>
#include <thread>

namespace testsupport {

std::vector<std::string> FtpServerProcess::WaitForCommands(std::size_t count, int timeoutMs) const {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<std::string> commands = Commands();
  while (commands.size() < count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    commands = Commands();
  }
  return commands;
}

}  // namespace testsupport
