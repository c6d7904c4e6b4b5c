// Winsock 2 (ws2_32), apart from the Windows sockets 1.1 that the component
// under test uses through the platform layer; both count the same start-up.
#include "tests/support/PeerSockets.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace testsupport::peersockets {

namespace {

// The peers may start before the component does, and must not end with it.
void StartOnce() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

sockaddr_in loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  return a;
}

SOCKET sock(Handle socket) { return static_cast<SOCKET>(socket); }

// Every peer socket is non-blocking: sends and receives never wait, the
// waits are WaitReady's.
Handle NonBlocking(SOCKET s) {
  u_long on = 1;
  ioctlsocket(s, FIONBIO, &on);
  return static_cast<Handle>(s);
}

}  // namespace

Handle Bound(std::uint16_t& port, int listenBacklog) {
  StartOnce();
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kNone;
  const sockaddr_in a = loopback(0);
  if (::bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 ||
      (listenBacklog >= 0 && ::listen(s, listenBacklog) != 0)) {
    ::closesocket(s);
    return kNone;
  }
  port = Port(static_cast<Handle>(s), false);
  return NonBlocking(s);
}

Handle Accept(Handle listening) {
  const SOCKET s = ::accept(sock(listening), nullptr, nullptr);
  return s == INVALID_SOCKET ? kNone : NonBlocking(s);
}

Handle Connect(std::uint16_t port, bool wait) {
  StartOnce();
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kNone;
  if (!wait) NonBlocking(s);
  const sockaddr_in a = loopback(port);
  if (::connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 &&
      (wait || WSAGetLastError() != WSAEWOULDBLOCK)) {
    ::closesocket(s);
    return kNone;
  }
  return NonBlocking(s);
}

bool WaitReady(Handle socket, bool forWriting, int ms) {
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(sock(socket), &ready);
  timeval wait{ms / 1000, (ms % 1000) * 1000};
  return ::select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, nullptr, &wait) > 0;
}

long SendSome(Handle socket, const char* bytes, std::size_t size) {
  const int n = ::send(sock(socket), bytes, static_cast<int>(size), 0);
  if (n == SOCKET_ERROR) return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
  return n;
}

long ReceiveSome(Handle socket, char* bytes, std::size_t size) {
  const int n = ::recv(sock(socket), bytes, static_cast<int>(size), 0);
  if (n == SOCKET_ERROR) return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
  return n == 0 ? -1 : n;
}

bool NothingPending(Handle socket) {
  u_long count = 0;
  return ::ioctlsocket(sock(socket), FIONREAD, &count) == 0 && count == 0;
}

void ShutdownSending(Handle socket) { ::shutdown(sock(socket), SD_SEND); }

void Close(Handle socket) {
  if (socket != kNone) ::closesocket(sock(socket));
}

void Reset(Handle socket) {
  const linger noLinger{1, 0};
  ::setsockopt(sock(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&noLinger), sizeof noLinger);
  Close(socket);
}

std::uint16_t Port(Handle socket, bool remote) {
  sockaddr_in a{};
  int length = sizeof a;
  const int r = remote ? ::getpeername(sock(socket), reinterpret_cast<sockaddr*>(&a), &length)
                       : ::getsockname(sock(socket), reinterpret_cast<sockaddr*>(&a), &length);
  return r == 0 ? ntohs(a.sin_port) : 0;
}

bool ResolvesToLoopback(const std::string& host) {
  StartOnce();
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* result = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0) return false;
  const bool loopback = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr == htonl(INADDR_LOOPBACK);
  ::freeaddrinfo(result);
  return loopback;
}

}  // namespace testsupport::peersockets
