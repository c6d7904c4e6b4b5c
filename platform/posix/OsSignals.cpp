// SIGUSR1 as a request to the GUI thread, and the environment.
#include "platform/posix/Os.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <sys/eventfd.h>
#include <unistd.h>

namespace os {

namespace {

std::atomic<int> gRequestFd{-1};

// Async-signal-safe: one write to an eventfd.
void onRequest(int) {
  const int saved = errno;
  const int fd = gRequestFd.load();
  if (fd >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(fd, &one, sizeof one);
  }
  errno = saved;
}

}  // namespace

int watchSignalRequests() {
  if (gRequestFd.load() >= 0) return gRequestFd.load();
  const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (fd < 0) return -1;
  gRequestFd.store(fd);
  struct sigaction action {};
  action.sa_handler = onRequest;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  if (sigaction(SIGUSR1, &action, nullptr) != 0) {
    gRequestFd.store(-1);
    close(fd);
    return -1;
  }
  return fd;
}

int takeSignalRequests(int fd) {
  std::uint64_t count = 0;
  if (read(fd, &count, sizeof count) != static_cast<ssize_t>(sizeof count)) return 0;
  return static_cast<int>(count);
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace os
