#include "tests/support/LoopbackPeer.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

constexpr int kGiveUpMs = 10000;
constexpr int kSliceMs = 20;

sockaddr_in loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  return a;
}

std::uint16_t portOf(int fd, bool remote) {
  sockaddr_in a{};
  socklen_t length = sizeof a;
  const int r = remote ? getpeername(fd, reinterpret_cast<sockaddr*>(&a), &length)
                       : getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  return r == 0 ? ntohs(a.sin_port) : 0;
}

// A socket bound to 127.0.0.1 on a port the system chooses.
int boundSocket(std::uint16_t& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in a = loopback(0);
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) return fd;
  port = portOf(fd, false);
  return fd;
}

// Waits for events on fd in slices, until they come, stopping is set or the
// 10 s pass.
bool waitFd(int fd, short events, const std::atomic<bool>& stopping) {
  for (int waited = 0; waited < kGiveUpMs && !stopping; waited += kSliceMs) {
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, kSliceMs);
    if (r > 0) return true;
    if (r < 0 && errno != EINTR) return false;
  }
  return false;
}

}  // namespace

bool waitFor(const std::atomic<bool>& flag) {
  for (int waited = 0; waited < kGiveUpMs && !flag; waited += 2) usleep(2000);
  return flag;
}

PeerConnection::PeerConnection(int fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}

PeerConnection::~PeerConnection() { close(); }

bool PeerConnection::waitReadable() { return waitFd(fd_, POLLIN, stopping_); }

bool PeerConnection::send(const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    if (!waitFd(fd_, POLLOUT, stopping_)) return false;
    const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

std::string PeerConnection::receive(std::size_t count) {
  std::string got;
  char chunk[65536];
  while (got.size() < count && waitReadable()) {
    const ssize_t n = ::recv(fd_, chunk, std::min(sizeof chunk, count - got.size()), MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) break;
    got.append(chunk, static_cast<std::size_t>(n));
  }
  return got;
}

std::string PeerConnection::receiveLine() {
  std::string got;
  char c;
  while (waitReadable()) {
    const ssize_t n = ::recv(fd_, &c, 1, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) break;
    got += c;
    if (c == '\n') break;
  }
  return got;
}

std::string PeerConnection::receiveAll() { return receive(static_cast<std::size_t>(-1)); }

bool PeerConnection::waitClosed() {
  char chunk[4096];
  while (waitReadable()) {
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) return true;
  }
  return false;
}

void PeerConnection::shutdownSending() { ::shutdown(fd_, SHUT_WR); }

void PeerConnection::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void PeerConnection::reset() {
  if (fd_ < 0) return;
  const linger noLinger{1, 0};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &noLinger, sizeof noLinger);
  close();
}

std::uint16_t PeerConnection::localPort() const { return portOf(fd_, false); }
std::uint16_t PeerConnection::remotePort() const { return portOf(fd_, true); }

bool PeerConnection::nothingPending() {
  int count = 0;
  return ioctl(fd_, FIONREAD, &count) == 0 && count == 0;
}

LoopbackPeer::LoopbackPeer(std::function<void(PeerConnection&)> script) {
  listenFd_ = boundSocket(port_);
  ::listen(listenFd_, 4);
  thread_ = std::thread([this, script = std::move(script)] {
    if (waitFd(listenFd_, POLLIN, stopping_)) {
      const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) {
        PeerConnection connection(fd, stopping_);
        script(connection);
      }
    }
    finished_ = true;
  });
}

LoopbackPeer::~LoopbackPeer() {
  stopping_ = true;
  thread_.join();
  ::close(listenFd_);
}

bool LoopbackPeer::waitFinished() { return waitFor(finished_); }

LoopbackClient::LoopbackClient(std::uint16_t port, std::function<void(PeerConnection&)> script) {
  thread_ = std::thread([this, port, script = std::move(script)] {
    for (int waited = 0; waited < kGiveUpMs && !stopping_; waited += kSliceMs) {
      const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      const sockaddr_in a = loopback(port);
      if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) {
        localPort_ = portOf(fd, false);
        PeerConnection connection(fd, stopping_);
        script(connection);
        break;
      }
      ::close(fd);
      usleep(kSliceMs * 1000);
    }
    finished_ = true;
  });
}

LoopbackClient::~LoopbackClient() {
  stopping_ = true;
  thread_.join();
}

bool LoopbackClient::waitFinished() { return waitFor(finished_); }

RefusingPort::RefusingPort() { fd_ = boundSocket(port_); }
RefusingPort::~RefusingPort() { ::close(fd_); }

StalledListener::StalledListener() : fillers_{-1, -1} {
  listenFd_ = boundSocket(port_);
  // A backlog of 0 holds one connection; the next handshake is dropped.
  ::listen(listenFd_, 0);
  for (int& filler : fillers_) {
    filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const sockaddr_in a = loopback(port_);
    ::connect(filler, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    pollfd p{filler, POLLOUT, 0};
    ::poll(&p, 1, 200);
  }
}

StalledListener::~StalledListener() {
  for (int filler : fillers_) ::close(filler);
  ::close(listenFd_);
}

BusyPort::BusyPort() {
  fd_ = boundSocket(port_);
  ::listen(fd_, 1);
}
BusyPort::~BusyPort() { ::close(fd_); }

struct DescriptorsExhausted::State {
  rlimit saved{};
  std::vector<int> held;
};

DescriptorsExhausted::DescriptorsExhausted() : state_(std::make_unique<State>()) {
  getrlimit(RLIMIT_NOFILE, &state_->saved);
  // Lower the limit just above what is open, then fill the gap.
  int highest = 0;
  for (int fd = 0; fd < 4096; ++fd)
    if (fcntl(fd, F_GETFD) != -1) highest = fd;
  rlimit lowered = state_->saved;
  lowered.rlim_cur = static_cast<rlim_t>(highest + 16);
  setrlimit(RLIMIT_NOFILE, &lowered);
  for (;;) {
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd < 0) break;
    state_->held.push_back(fd);
  }
}

DescriptorsExhausted::~DescriptorsExhausted() {
  for (int fd : state_->held) ::close(fd);
  setrlimit(RLIMIT_NOFILE, &state_->saved);
}

}  // namespace testsupport
