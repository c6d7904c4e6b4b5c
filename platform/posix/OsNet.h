// IPv4 TCP sockets and host look-ups as the Windows sockets emulation sees
// them: plain C++ types only (see Os.h for why).
//
// Addresses and ports are in network byte order, as they travel in a
// sockaddr_in. Calls that fail return -1 and leave the reason in errno;
// wsaErrorFromErrno turns it into a Windows socket error number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace os {

// A stream socket (close-on-exec), or -1.
int tcpSocket();
int setNonBlocking(int fd);
int setLinger(int fd, bool on, int seconds);
int setReuseAddress(int fd, bool on);
int connectIPv4(int fd, std::uint32_t address, std::uint16_t port);
int bindIPv4(int fd, std::uint32_t address, std::uint16_t port);
int listenSocket(int fd, int backlog);
// The new socket (close-on-exec, blocking), or -1. address and port may be
// null.
int acceptIPv4(int fd, std::uint32_t* address, std::uint16_t* port);
int localAddressIPv4(int fd, std::uint32_t* address, std::uint16_t* port);
// Never raises SIGPIPE: a send to a closed connection fails with EPIPE.
long sendBytes(int fd, const void* data, std::size_t count);
long recvBytes(int fd, void* data, std::size_t count, bool peek);
int closeSocket(int fd);
// The socket's pending error (SO_ERROR), which reading clears; 0 if none.
int takeSocketError(int fd);
// Bytes waiting to be received (FIONREAD), or -1.
long pendingBytes(int fd);
// The soft limit of open descriptors.
long maxOpenFiles();

// The Windows socket error number of an errno value (WSAECONNREFUSED for
// ECONNREFUSED, ...). EAGAIN and EINPROGRESS are WSAEWOULDBLOCK, as a
// non-blocking call that cannot finish now is on Windows; EPIPE is
// WSAECONNRESET.
int wsaErrorFromErrno(int err);

// The IPv4 addresses of a host name (getaddrinfo); blocks, so it runs on a
// worker thread.
struct HostLookup {
  int error = 0;  // 0, or WSAHOST_NOT_FOUND, WSATRY_AGAIN, WSANO_RECOVERY, WSANO_DATA
  std::string name;  // the canonical name, or the name asked for
  std::vector<std::string> aliases;
  std::vector<std::uint32_t> addresses;  // in the order the resolver gave them, without repeats
};
HostLookup lookupHostIPv4(const std::string& name);

}  // namespace os
