// Clock, sleep, poll, the wake-up descriptor and the current directory.
#include "platform/posix/Os.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <vector>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace os {

std::int64_t monotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

LocalTime localTime() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm parts{};
  localtime_r(&ts.tv_sec, &parts);
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_wday, parts.tm_mday,
          parts.tm_hour,        parts.tm_min,     parts.tm_sec,  static_cast<int>(ts.tv_nsec / 1000000)};
}

void sleepMs(unsigned ms) {
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
  }
}

int poll(PollItem* items, std::size_t count, int timeoutMs) {
  thread_local std::vector<pollfd> fds;
  fds.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    short ev = 0;
    if (items[i].events & kPollIn) ev |= POLLIN;
    if (items[i].events & kPollOut) ev |= POLLOUT;
    if (items[i].events & kPollRdHup) ev |= POLLRDHUP;
    fds[i] = pollfd{items[i].fd, ev, 0};
  }
  int n = ::poll(fds.data(), static_cast<nfds_t>(count), timeoutMs);
  if (n <= 0) {
    for (std::size_t i = 0; i < count; ++i) items[i].revents = 0;
    return 0;
  }
  for (std::size_t i = 0; i < count; ++i) {
    short r = 0;
    const short got = fds[i].revents;
    if (got & POLLIN) r |= kPollIn;
    if (got & POLLOUT) r |= kPollOut;
    if (got & (POLLERR | POLLNVAL)) r |= kPollErr;
    if (got & POLLHUP) r |= kPollHup;
    if (got & POLLRDHUP) r |= kPollRdHup;
    items[i].revents = r;
  }
  return n;
}

Waker::Waker() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

Waker::~Waker() {
  if (fd_ >= 0) close(fd_);
}

void Waker::wake() {
  const std::uint64_t one = 1;
  // A full counter still leaves the descriptor readable, which is all we need.
  [[maybe_unused]] ssize_t n = write(fd_, &one, sizeof one);
}

void Waker::drain() {
  std::uint64_t value = 0;
  [[maybe_unused]] ssize_t n = read(fd_, &value, sizeof value);
}

std::string currentDirectory() {
  std::vector<char> buf(PATH_MAX + 1);
  while (getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

bool setCurrentDirectory(const std::string& path) { return chdir(path.c_str()) == 0; }

int lastErrno() { return errno; }

unsigned win32ErrorFromErrno(int err) {
  switch (err) {
    case 0: return 0;                   // ERROR_SUCCESS
    case ENOENT: return 2;              // ERROR_FILE_NOT_FOUND
    case ENOTDIR: return 3;             // ERROR_PATH_NOT_FOUND
    case EMFILE:
    case ENFILE: return 4;              // ERROR_TOO_MANY_OPEN_FILES
    case EACCES:
    case EPERM:
    case EISDIR: return 5;              // ERROR_ACCESS_DENIED
    case EBADF: return 6;               // ERROR_INVALID_HANDLE
    case ENOMEM: return 8;              // ERROR_NOT_ENOUGH_MEMORY
    case EROFS: return 19;              // ERROR_WRITE_PROTECT
    case EBUSY:
    case ETXTBSY: return 32;            // ERROR_SHARING_VIOLATION
    case EEXIST: return 80;             // ERROR_FILE_EXISTS
    case EINVAL: return 87;             // ERROR_INVALID_PARAMETER
    case ENOSPC:
    case EDQUOT: return 112;            // ERROR_DISK_FULL
    case ENAMETOOLONG: return 206;      // ERROR_FILENAME_EXCED_RANGE
    case ENOTEMPTY: return 145;         // ERROR_DIR_NOT_EMPTY
    default: return 31;                 // ERROR_GEN_FAILURE
  }
}

std::string errnoText(int err) {
  char buf[256];
  buf[0] = '\0';
  // GNU strerror_r may return a static string instead of filling buf.
  const char* text = strerror_r(err, buf, sizeof buf);
  return text ? text : buf;
}

}  // namespace os
