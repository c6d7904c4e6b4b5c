// IPv4 TCP sockets and host look-ups over POSIX.
#include "platform/posix/OsNet.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace os {

namespace {

sockaddr_in ipv4(std::uint32_t address, std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = port;
  a.sin_addr.s_addr = address;
  return a;
}

}  // namespace

int tcpSocket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP); }

int setNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags == -1) return -1;
  return fcntl(fd, F_SETFL, flags | O_NONBLOCK) == -1 ? -1 : 0;
}

int setLinger(int fd, bool on, int seconds) {
  const ::linger l{on ? 1 : 0, seconds};
  return setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

int setReuseAddress(int fd, bool on) {
  const int value = on ? 1 : 0;
  return setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &value, sizeof value);
}

int connectIPv4(int fd, std::uint32_t address, std::uint16_t port) {
  const sockaddr_in a = ipv4(address, port);
  int r;
  do {
    r = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
  } while (r == -1 && errno == EINTR);
  return r;
}

int bindIPv4(int fd, std::uint32_t address, std::uint16_t port) {
  const sockaddr_in a = ipv4(address, port);
  return ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
}

int listenSocket(int fd, int backlog) { return ::listen(fd, backlog); }

int acceptIPv4(int fd, std::uint32_t* address, std::uint16_t* port) {
  sockaddr_in a{};
  socklen_t length = sizeof a;
  int s;
  do {
    s = ::accept4(fd, reinterpret_cast<sockaddr*>(&a), &length, SOCK_CLOEXEC);
  } while (s == -1 && errno == EINTR);
  if (s == -1) return -1;
  if (address) *address = a.sin_addr.s_addr;
  if (port) *port = a.sin_port;
  return s;
}

int localAddressIPv4(int fd, std::uint32_t* address, std::uint16_t* port) {
  sockaddr_in a{};
  socklen_t length = sizeof a;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == -1) return -1;
  if (a.sin_family != AF_INET) {
    errno = EAFNOSUPPORT;
    return -1;
  }
  *address = a.sin_addr.s_addr;
  *port = a.sin_port;
  return 0;
}

long sendBytes(int fd, const void* data, std::size_t count) {
  ssize_t n;
  do {
    n = ::send(fd, data, count, MSG_NOSIGNAL);
  } while (n == -1 && errno == EINTR);
  return static_cast<long>(n);
}

long recvBytes(int fd, void* data, std::size_t count, bool peek) {
  ssize_t n;
  do {
    n = ::recv(fd, data, count, peek ? MSG_PEEK : 0);
  } while (n == -1 && errno == EINTR);
  return static_cast<long>(n);
}

int closeSocket(int fd) { return ::close(fd); }

int takeSocketError(int fd) {
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == -1) return errno;
  return error;
}

long pendingBytes(int fd) {
  int count = 0;
  if (ioctl(fd, FIONREAD, &count) == -1) return -1;
  return count;
}

long maxOpenFiles() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == -1 || limit.rlim_cur == RLIM_INFINITY) return 1L << 20;
  return static_cast<long>(limit.rlim_cur);
}

int wsaErrorFromErrno(int err) {
  switch (err) {
    case 0: return 0;
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES:
    case EPERM: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE:
    case ENFILE: return 10024;
    case EAGAIN:
    case EINPROGRESS: return 10035;  // WSAEWOULDBLOCK
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET:
    case EPIPE: return 10054;
    case ENOBUFS:
    case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    case EUSERS: return 10068;
    case EDQUOT: return 10069;
    case ESTALE: return 10070;
    case EREMOTE: return 10071;
    default: return 10022;  // WSAEINVAL: nothing closer
  }
}

HostLookup lookupHostIPv4(const std::string& name) {
  HostLookup result;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* list = nullptr;
  const int status = getaddrinfo(name.c_str(), nullptr, &hints, &list);
  if (status != 0) {
    switch (status) {
      case EAI_AGAIN: result.error = 11002; break;  // WSATRY_AGAIN
#ifdef EAI_NODATA
      case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
      case EAI_ADDRFAMILY:
#endif
        result.error = 11004;  // WSANO_DATA: the name exists, without an IPv4 address
        break;
      case EAI_NONAME: result.error = 11001; break;  // WSAHOST_NOT_FOUND
      default: result.error = 11003; break;          // WSANO_RECOVERY
    }
    return result;
  }
  result.name = list->ai_canonname ? list->ai_canonname : name;
  for (const addrinfo* p = list; p; p = p->ai_next) {
    if (p->ai_family != AF_INET || !p->ai_addr) continue;
    const std::uint32_t address = reinterpret_cast<const sockaddr_in*>(p->ai_addr)->sin_addr.s_addr;
    if (std::find(result.addresses.begin(), result.addresses.end(), address) == result.addresses.end())
      result.addresses.push_back(address);
  }
  freeaddrinfo(list);
  if (result.addresses.empty()) result.error = 11004;
  return result;
}

}  // namespace os
