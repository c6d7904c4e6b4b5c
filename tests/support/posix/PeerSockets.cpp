#include "tests/support/PeerSockets.h"

#include <cerrno>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport::peersockets {

namespace {

sockaddr_in loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  return a;
}

int fd(Handle socket) { return static_cast<int>(socket); }

}  // namespace

Handle Bound(std::uint16_t& port, int listenBacklog) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in a = loopback(0);
  if (s < 0) return kNone;
  if (::bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 ||
      (listenBacklog >= 0 && ::listen(s, listenBacklog) != 0)) {
    ::close(s);
    return kNone;
  }
  port = Port(s, false);
  return s;
}

Handle Accept(Handle listening) {
  const int s = ::accept4(fd(listening), nullptr, nullptr, SOCK_CLOEXEC);
  return s < 0 ? kNone : s;
}

Handle Connect(std::uint16_t port, bool wait) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (wait ? 0 : SOCK_NONBLOCK), 0);
  if (s < 0) return kNone;
  const sockaddr_in a = loopback(port);
  if (::connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 && (wait || errno != EINPROGRESS)) {
    ::close(s);
    return kNone;
  }
  return s;
}

bool WaitReady(Handle socket, bool forWriting, int ms) {
  pollfd p{fd(socket), static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
  int r;
  while ((r = ::poll(&p, 1, ms)) < 0 && errno == EINTR) {
  }
  return r > 0;
}

long SendSome(Handle socket, const char* bytes, std::size_t size) {
  const ssize_t n = ::send(fd(socket), bytes, size, MSG_NOSIGNAL | MSG_DONTWAIT);
  if (n < 0) return errno == EAGAIN || errno == EINTR ? 0 : -1;
  return n;
}

long ReceiveSome(Handle socket, char* bytes, std::size_t size) {
  const ssize_t n = ::recv(fd(socket), bytes, size, MSG_DONTWAIT);
  if (n < 0) return errno == EAGAIN || errno == EINTR ? 0 : -1;
  return n == 0 ? -1 : n;
}

bool NothingPending(Handle socket) {
  int count = 0;
  return ::ioctl(fd(socket), FIONREAD, &count) == 0 && count == 0;
}

void ShutdownSending(Handle socket) { ::shutdown(fd(socket), SHUT_WR); }

void Close(Handle socket) {
  if (socket != kNone) ::close(fd(socket));
}

void Reset(Handle socket) {
  const linger noLinger{1, 0};
  ::setsockopt(fd(socket), SOL_SOCKET, SO_LINGER, &noLinger, sizeof noLinger);
  Close(socket);
}

std::uint16_t Port(Handle socket, bool remote) {
  sockaddr_in a{};
  socklen_t length = sizeof a;
  const int r = remote ? ::getpeername(fd(socket), reinterpret_cast<sockaddr*>(&a), &length)
                       : ::getsockname(fd(socket), reinterpret_cast<sockaddr*>(&a), &length);
  return r == 0 ? ntohs(a.sin_port) : 0;
}

bool ResolvesToLoopback(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* result = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0) return false;
  const bool loopback = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr == htonl(INADDR_LOOPBACK);
  ::freeaddrinfo(result);
  return loopback;
}

}  // namespace testsupport::peersockets
