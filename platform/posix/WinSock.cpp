// Windows sockets 1.1 over POSIX sockets.
//
// A SOCKET is the POSIX descriptor itself. Every socket made here is recorded
// with its selection (window, message, events), the Windows re-enabling state
// of each notification and a serial number that is never reused. The message
// pump polls the selected sockets of its thread through one event source per
// thread and posts their notifications; the serial keeps a readiness seen for
// a closed socket from reaching the next one with its descriptor number.
// Notifications already queued when a socket is closed stay queued, as on
// Windows: POSIX hands the same descriptor number to the next socket at once,
// so their owner must take them out (WSAAsyncSelect(s, hwnd, 0, 0), then
// PeekMessage) before closesocket.
//
// Notifications, as Windows sends them:
// - FD_READ once, then not again until the next recv (peeking or not), and
//   only while bytes are waiting;
// - FD_ACCEPT once, then not again until the next accept;
// - FD_CONNECT once when a connect finishes, with its error (10061, ...);
// - FD_CLOSE once: for a reset (error 10054) when it is seen; for the peer's
//   graceful close only once no unread byte is waiting (while bytes wait,
//   FD_READ tells of them and the close comes after the reader took them);
// - FD_WRITE and FD_OOB never.
#include "platform/posix/Internal.h"
#include "platform/posix/OsNet.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <thread>

namespace win32 {

namespace {

thread_local int tlsSocketError = 0;

int fail(int error) {
  tlsSocketError = error;
  return SOCKET_ERROR;
}

int failFromErrno() { return fail(os::wsaErrorFromErrno(os::lastErrno())); }

enum class Phase { Fresh, Connecting, Connected, Listening, Failed };

struct SocketState {
  std::uint64_t serial = 0;
  Phase phase = Phase::Fresh;
  bool nonBlocking = false;
  // An immediate refusal of a non-blocking connect, delivered as FD_CONNECT.
  int connectError = 0;

  // The selection of WSAAsyncSelect; events 0 = none.
  HWND hwnd = nullptr;
  UINT message = 0;
  long events = 0;
  ThreadQueue* queue = nullptr;  // the window's thread; compared, never used

  bool readEnabled = true;
  bool acceptEnabled = true;
  bool closeEnabled = true;
  bool eofSeen = false;  // the peer's close or a reset: no more bytes will come
  int closeError = 0;    // the reset's error when eofSeen; 0 for a graceful close
};

std::mutex gSocketsMutex;  // guards everything below; taken before any queue's mutex
std::map<int, SocketState> gSockets;
std::uint64_t gNextSerial = 1;
int gStartups = 0;

std::atomic<int> gLookupsRunning{0};
std::atomic<UINT_PTR> gNextLookupHandle{1};

int fdOf(SOCKET s) { return s > static_cast<SOCKET>(INT_MAX) ? -1 : static_cast<int>(s); }

SocketState* findSocket(SOCKET s) {
  auto it = gSockets.find(fdOf(s));
  return it == gSockets.end() ? nullptr : &it->second;
}

SocketState& recordSocket(int fd) {
  SocketState& state = gSockets[fd];
  state = SocketState{};
  state.serial = gNextSerial++;
  return state;
}

std::uint32_t hostToNetwork32(std::uint32_t v) {
  if constexpr (std::endian::native == std::endian::little)
    return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
  return v;
}

// Posts one notification of a selected socket. Called with gSocketsMutex
// held, so a closesocket on another thread cannot slip between the decision
// and the post.
void notify(int fd, const SocketState& s, long event, int error) {
  if (!(s.events & event)) return;
  QueuedMessage m;
  m.msg = MSG{s.hwnd, s.message, static_cast<WPARAM>(fd),
              WSAMAKESELECTREPLY(static_cast<WORD>(event), static_cast<WORD>(error)), 0, {0, 0}};
  postQueued(s.hwnd, std::move(m));
}

// The poll events a selected socket waits for now (0 = none).
short wantedEvents(const SocketState& s) {
  switch (s.phase) {
    case Phase::Listening:
      return (s.events & FD_ACCEPT) && s.acceptEnabled ? os::kPollIn : 0;
    case Phase::Connecting:
      return s.connectError ? 0 : os::kPollOut;
    case Phase::Connected: {
      if (s.eofSeen) return 0;  // nothing more can happen; what is left is handled without waiting
      short ev = 0;
      if ((s.events & FD_READ) && s.readEnabled) ev |= os::kPollIn;
      if ((s.events & FD_CLOSE) && s.closeEnabled) ev |= os::kPollRdHup;
      return ev;
    }
    default:
      // A fresh or failed socket polls as hung up; it has nothing to tell.
      return 0;
  }
}

// Notifications due without waiting. Returns whether any was posted.
bool notifyWithoutWaiting(int fd, SocketState& s) {
  bool posted = false;
  if (s.phase == Phase::Connecting && s.connectError) {
    notify(fd, s, FD_CONNECT, s.connectError);
    s.connectError = 0;
    s.phase = Phase::Failed;
    return true;
  }
  if (s.phase == Phase::Connected && s.eofSeen) {
    if ((s.events & FD_READ) && s.readEnabled && os::pendingBytes(fd) > 0) {
      notify(fd, s, FD_READ, 0);
      s.readEnabled = false;
      posted = true;
    }
    // Selected for FD_CLOSE after the close was seen, or the bytes that held
    // back a graceful close were read.
    if ((s.events & FD_CLOSE) && s.closeEnabled && (s.closeError || os::pendingBytes(fd) <= 0)) {
      notify(fd, s, FD_CLOSE, s.closeError);
      s.closeEnabled = false;
      posted = true;
    }
  }
  return posted;
}

void onReady(int fd, SocketState& s, short revents) {
  switch (s.phase) {
    case Phase::Listening: {
      const int error = (revents & os::kPollErr) ? os::wsaErrorFromErrno(os::takeSocketError(fd)) : 0;
      notify(fd, s, FD_ACCEPT, error);
      s.acceptEnabled = false;
      break;
    }
    case Phase::Connecting: {
      int error = os::wsaErrorFromErrno(os::takeSocketError(fd));
      if (error == WSAECONNRESET) {
        // Connected, then reset before anyone looked: both notifications.
        s.phase = Phase::Connected;
        s.eofSeen = true;
        s.closeError = error;
        notify(fd, s, FD_CONNECT, 0);
        if ((s.events & FD_CLOSE) && s.closeEnabled) {
          notify(fd, s, FD_CLOSE, error);
          s.closeEnabled = false;
        }
        break;
      }
      if (error == 0 && !(revents & os::kPollOut)) error = WSAECONNREFUSED;
      s.phase = error ? Phase::Failed : Phase::Connected;
      notify(fd, s, FD_CONNECT, error);
      break;
    }
    case Phase::Connected: {
      int error = 0;
      bool eof = (revents & (os::kPollHup | os::kPollRdHup)) != 0;
      if (revents & os::kPollErr) {
        error = os::wsaErrorFromErrno(os::takeSocketError(fd));
        eof = true;
      }
      long pending = -1;
      if (revents & os::kPollIn) {
        pending = os::pendingBytes(fd);
        if (pending == 0) eof = true;  // readable without bytes: the end of the stream
      }
      if (eof) {
        s.eofSeen = true;
        s.closeError = error;
      }
      if (pending < 0) pending = os::pendingBytes(fd);
      if ((s.events & FD_READ) && s.readEnabled && pending > 0) {
        notify(fd, s, FD_READ, 0);
        s.readEnabled = false;
      }
      // A graceful close waits for the unread bytes (notifyWithoutWaiting).
      if (eof && (s.events & FD_CLOSE) && s.closeEnabled && (error || pending <= 0)) {
        notify(fd, s, FD_CLOSE, error);
        s.closeEnabled = false;
      }
      break;
    }
    default:
      break;
  }
}

// Turns the readiness of the thread's selected sockets into notifications.
class SocketSource final : public EventSource {
 public:
  void attach(ThreadQueue* queue) { queue_ = queue; }

  int prepare(std::vector<os::PollItem>& items) override {
    watched_.clear();
    bool posted = false;
    std::lock_guard lock(gSocketsMutex);
    for (auto& [fd, s] : gSockets) {
      if (s.queue != queue_ || s.events == 0) continue;
      posted |= notifyWithoutWaiting(fd, s);
      if (const short ev = wantedEvents(s)) {
        items.push_back(os::PollItem{fd, ev, 0});
        watched_.push_back(Watched{fd, s.serial});
      }
    }
    return posted ? 0 : -1;
  }

  void dispatch(const os::PollItem* items, std::size_t count) override {
    std::lock_guard lock(gSocketsMutex);
    for (std::size_t i = 0; i < count && i < watched_.size(); ++i) {
      if (items[i].revents == 0) continue;
      auto it = gSockets.find(watched_[i].fd);
      if (it == gSockets.end() || it->second.serial != watched_[i].serial) continue;
      onReady(it->first, it->second, items[i].revents);
    }
  }

 private:
  struct Watched {
    int fd;
    std::uint64_t serial;
  };
  ThreadQueue* queue_ = nullptr;
  std::vector<Watched> watched_;
};

thread_local SocketSource tlsSocketSource;

// The host entry of a look-up, laid out in the caller's buffer when the reply
// is retrieved: the entry, its alias and address pointer lists, the
// addresses, then the texts.
QueuedMessage hostReply(HWND hwnd, UINT message, HANDLE task, char* buffer, int length, os::HostLookup found) {
  QueuedMessage m;
  m.msg = MSG{hwnd, message, reinterpret_cast<WPARAM>(task), 0, 0, {0, 0}};
  if (found.error) {
    m.msg.lParam = WSAMAKEASYNCREPLY(0, static_cast<WORD>(found.error));
    return m;
  }
  const auto base = reinterpret_cast<std::uintptr_t>(buffer);
  const std::size_t entryAt = ((base + alignof(hostent) - 1) & ~(std::uintptr_t{alignof(hostent)} - 1)) - base;
  const std::size_t aliasListAt = entryAt + sizeof(hostent);
  const std::size_t addressListAt = aliasListAt + (found.aliases.size() + 1) * sizeof(char*);
  const std::size_t addressesAt = addressListAt + (found.addresses.size() + 1) * sizeof(char*);
  const std::size_t nameAt = addressesAt + found.addresses.size() * 4;
  std::vector<std::size_t> aliasAt;
  std::size_t end = nameAt + found.name.size() + 1;
  for (const std::string& alias : found.aliases) {
    aliasAt.push_back(end);
    end += alias.size() + 1;
  }
  if (length < 0 || end > static_cast<std::size_t>(length)) {
    m.msg.lParam = WSAMAKEASYNCREPLY(static_cast<WORD>(std::min<std::size_t>(end, 0xFFFF)), WSAENOBUFS);
    return m;
  }
  m.msg.lParam = WSAMAKEASYNCREPLY(static_cast<WORD>(end), 0);
  m.onRetrieve = [buffer, found = std::move(found), entryAt, aliasListAt, addressListAt, addressesAt, nameAt,
                  aliasAt = std::move(aliasAt)] {
    auto putPointer = [buffer](std::size_t at, char* p) { std::memcpy(buffer + at, &p, sizeof p); };
    hostent entry{};
    entry.h_name = buffer + nameAt;
    entry.h_aliases = reinterpret_cast<char**>(buffer + aliasListAt);
    entry.h_addrtype = AF_INET;
    entry.h_length = 4;
    entry.h_addr_list = reinterpret_cast<char**>(buffer + addressListAt);
    std::memcpy(buffer + entryAt, &entry, sizeof entry);
    for (std::size_t i = 0; i < found.aliases.size(); ++i) {
      std::memcpy(buffer + aliasAt[i], found.aliases[i].c_str(), found.aliases[i].size() + 1);
      putPointer(aliasListAt + i * sizeof(char*), buffer + aliasAt[i]);
    }
    putPointer(aliasListAt + found.aliases.size() * sizeof(char*), nullptr);
    for (std::size_t i = 0; i < found.addresses.size(); ++i) {
      std::memcpy(buffer + addressesAt + i * 4, &found.addresses[i], 4);
      putPointer(addressListAt + i * sizeof(char*), buffer + addressesAt + i * 4);
    }
    putPointer(addressListAt + found.addresses.size() * sizeof(char*), nullptr);
    std::memcpy(buffer + nameAt, found.name.c_str(), found.name.size() + 1);
  };
  return m;
}

bool readIPv4(const sockaddr* name, int length, std::uint32_t& address, std::uint16_t& port, int& error) {
  if (!name || length < static_cast<int>(sizeof(sockaddr_in))) {
    error = WSAEFAULT;
    return false;
  }
  sockaddr_in in;
  std::memcpy(&in, name, sizeof in);
  if (in.sin_family != AF_INET) {
    error = WSAEAFNOSUPPORT;
    return false;
  }
  address = in.sin_addr.s_addr;
  port = in.sin_port;
  return true;
}

void writeIPv4(sockaddr* name, int* length, std::uint32_t address, std::uint16_t port) {
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_port = port;
  in.sin_addr.s_addr = address;
  std::memcpy(name, &in, sizeof in);
  *length = sizeof in;
}

}  // namespace

int hostLookupsRunning() { return gLookupsRunning.load(); }

}  // namespace win32

using namespace win32;

int WINAPI WSAGetLastError() { return tlsSocketError; }

void WINAPI WSASetLastError(int error) { tlsSocketError = error; }

int WINAPI WSAStartup(WORD versionRequested, WSADATA* data) {
  if (!data) return WSAEFAULT;
  if (LOBYTE(versionRequested) < 1) return WSAVERNOTSUPPORTED;
  constexpr WORD kHighest = MAKEWORD(1, 1);
  std::memset(data, 0, sizeof *data);
  const bool belowHighest = LOBYTE(versionRequested) == 1 && HIBYTE(versionRequested) < 1;
  data->wVersion = belowHighest ? versionRequested : kHighest;
  data->wHighVersion = kHighest;
  std::strcpy(data->szDescription, "Launcher sockets 1.1 over POSIX TCP/IP");
  std::strcpy(data->szSystemStatus, "Running");
  data->iMaxSockets = static_cast<unsigned short>(std::clamp(os::maxOpenFiles(), 1L, 32767L));
  data->iMaxUdpDg = 65467;  // the largest UDP payload of IPv4
  std::lock_guard lock(gSocketsMutex);
  ++gStartups;
  return 0;
}

int WINAPI WSACleanup() {
  std::lock_guard lock(gSocketsMutex);
  if (gStartups == 0) return fail(WSANOTINITIALISED);
  --gStartups;
  return 0;
}

int WINAPI WSAAsyncSelect(SOCKET s, HWND hwnd, unsigned int msg, long events) {
  auto queue = queueOfWindow(hwnd);
  // The pump of the window's thread polls the socket, so only that thread
  // can select to the window.
  if (events != 0 && (!queue || queue != currentQueue())) return fail(WSAEINVAL);
  {
    std::lock_guard lock(gSocketsMutex);
    SocketState* state = findSocket(s);
    if (!state) return fail(WSAENOTSOCK);
    if (!state->nonBlocking) {
      if (os::setNonBlocking(fdOf(s)) == -1) return failFromErrno();
      state->nonBlocking = true;
    }
    state->hwnd = hwnd;
    state->message = msg;
    state->events = events;
    state->queue = events ? queue.get() : nullptr;
    state->readEnabled = true;
    state->acceptEnabled = true;
  }
  if (events) {
    tlsSocketSource.attach(queue.get());
    addEventSource(&tlsSocketSource);
  }
  return 0;
}

HANDLE WINAPI WSAAsyncGetHostByName(HWND hwnd, unsigned int msg, const char* name, char* buffer, int bufferLength) {
  {
    std::lock_guard lock(gSocketsMutex);
    if (gStartups == 0) {
      fail(WSANOTINITIALISED);
      return nullptr;
    }
  }
  if (!name || !buffer) {
    fail(WSAEFAULT);
    return nullptr;
  }
  if (!queueOfWindow(hwnd)) {
    fail(WSAEINVAL);
    return nullptr;
  }
  HANDLE task = reinterpret_cast<HANDLE>(gNextLookupHandle++);
  ++gLookupsRunning;
  try {
    std::thread([hwnd, msg, host = std::string(name), buffer, bufferLength, task] {
      // The reply goes nowhere if the window was destroyed first; a reply
      // still queued when it is destroyed is dropped with the window's
      // messages. Either way nothing is written.
      postQueued(hwnd, hostReply(hwnd, msg, task, buffer, bufferLength, os::lookupHostIPv4(host)));
      --gLookupsRunning;
    }).detach();
  } catch (const std::system_error&) {
    --gLookupsRunning;
    fail(WSAENOBUFS);
    return nullptr;
  }
  return task;
}

SOCKET WINAPI socket(int af, int type, int protocol) {
  std::lock_guard lock(gSocketsMutex);
  int error = 0;
  if (gStartups == 0) error = WSANOTINITIALISED;
  else if (af != AF_INET) error = WSAEAFNOSUPPORT;
  else if (type != SOCK_STREAM) error = WSAESOCKTNOSUPPORT;
  else if (protocol != 0 && protocol != IPPROTO_TCP) error = WSAEPROTONOSUPPORT;
  if (error) {
    fail(error);
    return INVALID_SOCKET;
  }
  const int fd = os::tcpSocket();
  if (fd == -1) {
    failFromErrno();
    return INVALID_SOCKET;
  }
  recordSocket(fd);
  return static_cast<SOCKET>(fd);
}

int WINAPI setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen) {
  {
    std::lock_guard lock(gSocketsMutex);
    if (!findSocket(s)) return fail(WSAENOTSOCK);
  }
  if (level != SOL_SOCKET) return fail(WSAEINVAL);
  if (!optval) return fail(WSAEFAULT);
  int r;
  if (optname == SO_LINGER) {
    if (optlen < static_cast<int>(sizeof(linger))) return fail(WSAEFAULT);
    linger l;
    std::memcpy(&l, optval, sizeof l);
    r = os::setLinger(fdOf(s), l.l_onoff != 0, l.l_linger);
  } else if (optname == SO_REUSEADDR) {
    if (optlen < static_cast<int>(sizeof(BOOL))) return fail(WSAEFAULT);
    BOOL on;
    std::memcpy(&on, optval, sizeof on);
    r = os::setReuseAddress(fdOf(s), on != 0);
  } else {
    return fail(WSAENOPROTOOPT);
  }
  return r == -1 ? failFromErrno() : 0;
}

int WINAPI connect(SOCKET s, const sockaddr* name, int namelen) {
  std::uint32_t address;
  std::uint16_t port;
  int error;
  if (!readIPv4(name, namelen, address, port, error)) return fail(error);
  bool nonBlocking;
  {
    std::lock_guard lock(gSocketsMutex);
    SocketState* state = findSocket(s);
    if (!state) return fail(WSAENOTSOCK);
    if (state->phase == Phase::Connecting) return fail(WSAEALREADY);
    if (state->phase == Phase::Connected) return fail(WSAEISCONN);
    if (state->phase == Phase::Listening) return fail(WSAEINVAL);
    nonBlocking = state->nonBlocking;
    if (nonBlocking) {
      // As on Windows a non-blocking connect never finishes at once: its
      // outcome, a refusal included, arrives as FD_CONNECT.
      if (os::connectIPv4(fdOf(s), address, port) == 0) {
        state->phase = Phase::Connecting;
        return fail(WSAEWOULDBLOCK);
      }
      error = os::wsaErrorFromErrno(os::lastErrno());
      switch (error) {
        case WSAEWOULDBLOCK:
          state->phase = Phase::Connecting;
          return fail(WSAEWOULDBLOCK);
        case WSAECONNREFUSED:
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
        case WSAETIMEDOUT:
          state->phase = Phase::Connecting;
          state->connectError = error;
          return fail(WSAEWOULDBLOCK);
        default:
          return fail(error);
      }
    }
  }
  const int r = os::connectIPv4(fdOf(s), address, port);
  error = r == -1 ? os::wsaErrorFromErrno(os::lastErrno()) : 0;
  std::lock_guard lock(gSocketsMutex);
  if (SocketState* state = findSocket(s)) {
    if (r == 0) state->phase = Phase::Connected;
    else if (error != WSAEINVAL && error != WSAEAFNOSUPPORT && error != WSAEADDRNOTAVAIL) state->phase = Phase::Failed;
  }
  return r == 0 ? 0 : fail(error);
}

int WINAPI bind(SOCKET s, const sockaddr* name, int namelen) {
  std::uint32_t address;
  std::uint16_t port;
  int error;
  if (!readIPv4(name, namelen, address, port, error)) return fail(error);
  {
    std::lock_guard lock(gSocketsMutex);
    if (!findSocket(s)) return fail(WSAENOTSOCK);
  }
  return os::bindIPv4(fdOf(s), address, port) == -1 ? failFromErrno() : 0;
}

int WINAPI listen(SOCKET s, int backlog) {
  std::lock_guard lock(gSocketsMutex);
  SocketState* state = findSocket(s);
  if (!state) return fail(WSAENOTSOCK);
  if (state->phase == Phase::Connecting || state->phase == Phase::Connected) return fail(WSAEISCONN);
  if (os::listenSocket(fdOf(s), backlog) == -1) return failFromErrno();
  state->phase = Phase::Listening;
  return 0;
}

SOCKET WINAPI accept(SOCKET s, sockaddr* addr, int* addrlen) {
  if (addr && (!addrlen || *addrlen < static_cast<int>(sizeof(sockaddr_in)))) {
    fail(WSAEFAULT);
    return INVALID_SOCKET;
  }
  SocketState listener;
  {
    std::lock_guard lock(gSocketsMutex);
    SocketState* state = findSocket(s);
    if (!state) {
      fail(WSAENOTSOCK);
      return INVALID_SOCKET;
    }
    if (state->phase != Phase::Listening) {
      fail(WSAEINVAL);
      return INVALID_SOCKET;
    }
    state->acceptEnabled = true;
    listener = *state;
  }
  std::uint32_t address = 0;
  std::uint16_t port = 0;
  const int fd = os::acceptIPv4(fdOf(s), &address, &port);
  if (fd == -1) {
    failFromErrno();
    return INVALID_SOCKET;
  }
  if (listener.nonBlocking && os::setNonBlocking(fd) == -1) {
    failFromErrno();
    os::closeSocket(fd);
    return INVALID_SOCKET;
  }
  {
    std::lock_guard lock(gSocketsMutex);
    SocketState& state = recordSocket(fd);
    state.phase = Phase::Connected;
    state.nonBlocking = listener.nonBlocking;
    // Selected as the listener is, until selected anew.
    state.hwnd = listener.hwnd;
    state.message = listener.message;
    state.events = listener.events;
    state.queue = listener.queue;
  }
  if (addr) writeIPv4(addr, addrlen, address, port);
  return static_cast<SOCKET>(fd);
}

int WINAPI send(SOCKET s, const char* buf, int len, int) {
  {
    std::lock_guard lock(gSocketsMutex);
    SocketState* state = findSocket(s);
    if (!state) return fail(WSAENOTSOCK);
    if (state->phase != Phase::Connected) return fail(WSAENOTCONN);
  }
  if (len < 0) return fail(WSAEINVAL);
  if (!buf && len > 0) return fail(WSAEFAULT);
  const long n = os::sendBytes(fdOf(s), buf, static_cast<std::size_t>(len));
  return n < 0 ? failFromErrno() : static_cast<int>(n);
}

int WINAPI recv(SOCKET s, char* buf, int len, int flags) {
  {
    std::lock_guard lock(gSocketsMutex);
    SocketState* state = findSocket(s);
    if (!state) return fail(WSAENOTSOCK);
    state->readEnabled = true;
    // A socket that never connected (or whose connect failed) is not
    // connected, whatever the system would answer.
    if (state->phase != Phase::Connected) return fail(WSAENOTCONN);
  }
  if (len < 0) return fail(WSAEINVAL);
  if (!buf && len > 0) return fail(WSAEFAULT);
  const long n = os::recvBytes(fdOf(s), buf, static_cast<std::size_t>(len), (flags & MSG_PEEK) != 0);
  return n < 0 ? failFromErrno() : static_cast<int>(n);
}

int WINAPI closesocket(SOCKET s) {
  {
    std::lock_guard lock(gSocketsMutex);
    auto it = gSockets.find(fdOf(s));
    if (it == gSockets.end()) return fail(WSAENOTSOCK);
    gSockets.erase(it);
  }
  return os::closeSocket(fdOf(s)) == -1 ? failFromErrno() : 0;
}

int WINAPI getsockname(SOCKET s, sockaddr* name, int* namelen) {
  if (!name || !namelen || *namelen < static_cast<int>(sizeof(sockaddr_in))) return fail(WSAEFAULT);
  {
    std::lock_guard lock(gSocketsMutex);
    if (!findSocket(s)) return fail(WSAENOTSOCK);
  }
  std::uint32_t address;
  std::uint16_t port;
  if (os::localAddressIPv4(fdOf(s), &address, &port) == -1) return failFromErrno();
  writeIPv4(name, namelen, address, port);
  return 0;
}

std::uint32_t WINAPI inet_addr(const char* cp) {
  // One to four parts separated by dots, each decimal, octal (leading 0) or
  // hexadecimal (0x); the last part fills the bytes that remain.
  if (!cp || !*cp) return INADDR_NONE;
  std::uint64_t parts[4];
  int count = 0;
  const char* p = cp;
  for (;;) {
    if (count == 4) return INADDR_NONE;
    unsigned base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
      base = 16;
      p += 2;
    } else if (p[0] == '0' && p[1] >= '0' && p[1] <= '9') {
      base = 8;
    }
    std::uint64_t value = 0;
    int digits = 0;
    for (;; ++p, ++digits) {
      unsigned d;
      if (*p >= '0' && *p <= '9') d = static_cast<unsigned>(*p - '0');
      else if (*p >= 'a' && *p <= 'f') d = static_cast<unsigned>(*p - 'a' + 10);
      else if (*p >= 'A' && *p <= 'F') d = static_cast<unsigned>(*p - 'A' + 10);
      else break;
      if (d >= base) return INADDR_NONE;
      value = value * base + d;
      if (value > 0xFFFFFFFFull) return INADDR_NONE;
    }
    if (digits == 0) return INADDR_NONE;
    parts[count++] = value;
    if (*p == '\0') break;
    if (*p != '.') return INADDR_NONE;
    ++p;
  }
  std::uint64_t host = 0;
  const std::uint64_t lastMax = 0xFFFFFFFFull >> (8 * (count - 1));
  for (int i = 0; i < count - 1; ++i) {
    if (parts[i] > 0xFF) return INADDR_NONE;
    host |= parts[i] << (8 * (3 - i));
  }
  if (parts[count - 1] > lastMax) return INADDR_NONE;
  host |= parts[count - 1];
  return hostToNetwork32(static_cast<std::uint32_t>(host));
}

char* WINAPI inet_ntoa(in_addr in) {
  thread_local char text[16];
  unsigned char b[4];
  std::memcpy(b, &in.s_addr, 4);
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  return text;
}

unsigned short WINAPI htons(unsigned short hostshort) {
  if constexpr (std::endian::native == std::endian::little)
    return static_cast<unsigned short>((hostshort >> 8) | (hostshort << 8));
  return hostshort;
}

unsigned short WINAPI ntohs(unsigned short netshort) { return htons(netshort); }
