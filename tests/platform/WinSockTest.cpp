#include "platform/Win32.h"
#include "platform/posix/Internal.h"
#include "tests/support/LoopbackPeer.h"
#include "tests/support/RecordingWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

using testsupport::LoopbackClient;
using testsupport::LoopbackPeer;
using testsupport::PeerConnection;
using testsupport::pumpPending;
using testsupport::RecordingWindow;

namespace {

constexpr UINT kNotify = WM_USER + 101;
constexpr UINT kAsync = WM_USER + 102;
constexpr long kEvents = FD_READ | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

struct WinsockStarted {
  WinsockStarted() {
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
  }
  ~WinsockStarted() { WSACleanup(); }
};

// Dispatches messages until done() or 10 s pass.
template <class Done>
bool pumpUntil(Done done) {
  for (int i = 0; i < 5000 && !done(); ++i) {
    pumpPending();
    Sleep(2);
  }
  return done();
}

// A few more passes of the pump, for checks that something did not happen.
void pumpAWhile() {
  for (int i = 0; i < 20; ++i) {
    pumpPending();
    Sleep(2);
  }
}

sockaddr_in loopback(unsigned short port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = inet_addr("127.0.0.1");
  return a;
}

// The notification events delivered for socket s, in order; errors too.
struct Notice {
  WORD event;
  WORD error;
  bool operator==(const Notice&) const = default;
};
std::vector<Notice> notices(const RecordingWindow& w, SOCKET s, UINT message = kNotify) {
  std::vector<Notice> out;
  for (const auto& d : w.delivered)
    if (d.message == message && d.wParam == s) out.push_back({WSAGETSELECTEVENT(d.lParam), WSAGETSELECTERROR(d.lParam)});
  return out;
}
int count(const RecordingWindow& w, SOCKET s, WORD event) {
  int n = 0;
  for (const Notice& x : notices(w, s)) n += x.event == event;
  return n;
}

// A selected socket connected to port, after its FD_CONNECT was dispatched.
SOCKET connectSelected(RecordingWindow& w, unsigned short port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_EQ(WSAAsyncSelect(s, w.hwnd, kNotify, kEvents), 0);
  const sockaddr_in a = loopback(port);
  EXPECT_EQ(connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  EXPECT_TRUE(pumpUntil([&] { return count(w, s, FD_CONNECT) == 1; }));
  return s;
}

TEST(WinSockAddresses, InetAddrTakesTheDottedFormsAndNothingElse) {
  struct Case {
    const char* text;
    std::uint32_t hostOrder;
  };
  const Case cases[] = {
      {"127.0.0.1", 0x7F000001},   {"0.0.0.0", 0},           {"192.168.1.20", 0xC0A80114},
      {"127.1", 0x7F000001},       {"10.1.2", 0x0A010002},   {"2130706433", 0x7F000001},
      {"0x7f.0.0.1", 0x7F000001},  {"0177.0.0.01", 0x7F000001}, {"1.2.65535", 0x0102FFFF},
      {"", 0xFFFFFFFF},            {"1.2.3.256", 0xFFFFFFFF}, {"1.2.3.4.5", 0xFFFFFFFF},
      {"1..2.3", 0xFFFFFFFF},      {"1.2.3.", 0xFFFFFFFF},    {".1.2.3", 0xFFFFFFFF},
      {"localhost", 0xFFFFFFFF},   {"1.2.3.4 ", 0xFFFFFFFF},  {"08.1.1.1", 0xFFFFFFFF},
      {"0x", 0xFFFFFFFF},          {"4294967296", 0xFFFFFFFF}, {"1.2.65536", 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    const std::uint32_t got = inet_addr(c.text);
    unsigned char b[4];
    std::memcpy(b, &got, 4);  // network order: the first number first
    const std::uint32_t host = (std::uint32_t{b[0]} << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
    EXPECT_EQ(host, c.hostOrder) << '"' << c.text << '"';
  }
}

TEST(WinSockAddresses, InetNtoaAndHtonsAreTheInversesOfTheNetworkOrder) {
  in_addr a{};
  a.s_addr = inet_addr("192.168.1.20");
  EXPECT_STREQ(inet_ntoa(a), "192.168.1.20");
  EXPECT_EQ(htons(0x1389), 0x8913);
  EXPECT_EQ(ntohs(htons(5001)), 5001);
}

TEST(WinSockStartup, ReportsVersionOneOneAndCountsStartUps) {
  EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  WSADATA first;
  WSADATA second;
  ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &first), 0);
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &second), 0);
  EXPECT_EQ(first.wVersion, MAKEWORD(1, 1));
  EXPECT_EQ(first.wHighVersion, MAKEWORD(1, 1));
  EXPECT_EQ(second.wVersion, MAKEWORD(1, 1));  // the highest offered
  EXPECT_GT(std::strlen(first.szDescription), 0u);
  EXPECT_STREQ(first.szSystemStatus, "Running");
  EXPECT_GT(first.iMaxSockets, 0);
  EXPECT_EQ(first.iMaxUdpDg, 65467);
  EXPECT_EQ(WSAStartup(MAKEWORD(0, 9), &second), WSAVERNOTSUPPORTED);
  EXPECT_EQ(WSACleanup(), 0);
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);  // one start-up is left
  EXPECT_NE(s, INVALID_SOCKET);
  closesocket(s);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

TEST(WinSockConnect, ANonBlockingConnectWouldBlockAndEndsInOneConnectNotification) {
  WinsockStarted started;
  RecordingWindow w;
  LoopbackPeer peer([](PeerConnection& c) { c.waitClosed(); });
  SOCKET s = connectSelected(w, peer.port());
  pumpAWhile();
  EXPECT_EQ(notices(w, s), (std::vector<Notice>{{FD_CONNECT, 0}}));
  const sockaddr_in a = loopback(peer.port());
  EXPECT_EQ(connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEISCONN);
  closesocket(s);
}

TEST(WinSockConnect, ARefusalArrivesAsAConnectNotificationWith10061) {
  WinsockStarted started;
  RecordingWindow w;
  testsupport::RefusingPort refusing;
  SOCKET s = connectSelected(w, refusing.port());
  pumpAWhile();
  EXPECT_EQ(notices(w, s), (std::vector<Notice>{{FD_CONNECT, WSAECONNREFUSED}}));
  closesocket(s);
}

TEST(WinSockConnect, AConnectInProgressIsAlreadyInProgress) {
  WinsockStarted started;
  RecordingWindow w;
  testsupport::StalledListener stalled;
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  WSAAsyncSelect(s, w.hwnd, kNotify, kEvents);
  const sockaddr_in a = loopback(stalled.port());
  EXPECT_EQ(connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  EXPECT_EQ(connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEALREADY);
  pumpAWhile();
  EXPECT_TRUE(notices(w, s).empty());
  closesocket(s);
}

TEST(WinSockNotifications, ReadComesOnceUntilTheNextRecvAndOnlyWhileBytesWait) {
  WinsockStarted started;
  RecordingWindow w;
  std::atomic<bool> firstSeen{false};
  std::atomic<bool> moreSent{false};
  LoopbackPeer peer([&](PeerConnection& c) {
    c.send("abc");
    testsupport::waitFor(firstSeen);
    c.send("def");
    moreSent = true;
    c.waitClosed();
  });
  SOCKET s = connectSelected(w, peer.port());
  ASSERT_TRUE(pumpUntil([&] { return count(w, s, FD_READ) == 1; }));
  firstSeen = true;
  ASSERT_TRUE(testsupport::waitFor(moreSent));
  pumpAWhile();
  EXPECT_EQ(count(w, s, FD_READ), 1);  // more bytes, but no recv yet

  char buf[16];
  EXPECT_EQ(recv(s, buf, 1, MSG_PEEK), 1);  // a peek re-enables too
  ASSERT_TRUE(pumpUntil([&] { return count(w, s, FD_READ) == 2; }));
  EXPECT_EQ(recv(s, buf, sizeof buf, 0), 6);
  pumpAWhile();
  EXPECT_EQ(count(w, s, FD_READ), 2);  // nothing waits any more
  EXPECT_EQ(recv(s, buf, sizeof buf, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  closesocket(s);
}

// As Windows tells of it: a graceful close only once the bytes sent before
// it were read.
TEST(WinSockNotifications, AGracefulCloseComesOnceAfterTheUnreadBytesWereRead) {
  WinsockStarted started;
  RecordingWindow w;
  LoopbackPeer peer([](PeerConnection& c) { c.send("data"); });  // then closes
  SOCKET s = connectSelected(w, peer.port());
  ASSERT_TRUE(peer.waitFinished());
  ASSERT_TRUE(pumpUntil([&] { return count(w, s, FD_READ) == 1; }));
  pumpAWhile();
  EXPECT_EQ(notices(w, s), (std::vector<Notice>{{FD_CONNECT, 0}, {FD_READ, 0}}));
  char buf[16];
  EXPECT_EQ(recv(s, buf, sizeof buf, 0), 4);
  ASSERT_TRUE(pumpUntil([&] { return count(w, s, FD_CLOSE) == 1; }));
  EXPECT_EQ(recv(s, buf, sizeof buf, 0), 0);
  pumpAWhile();
  EXPECT_EQ(notices(w, s), (std::vector<Notice>{{FD_CONNECT, 0}, {FD_READ, 0}, {FD_CLOSE, 0}}));
  closesocket(s);
}

TEST(WinSockNotifications, AResetComesAsCloseWith10054) {
  WinsockStarted started;
  RecordingWindow w;
  std::atomic<bool> go{false};
  LoopbackPeer peer([&](PeerConnection& c) {
    testsupport::waitFor(go);
    c.reset();
  });
  SOCKET s = connectSelected(w, peer.port());
  go = true;
  ASSERT_TRUE(pumpUntil([&] { return count(w, s, FD_CLOSE) == 1; }));
  pumpAWhile();
  EXPECT_EQ(notices(w, s), (std::vector<Notice>{{FD_CONNECT, 0}, {FD_CLOSE, WSAECONNRESET}}));
  closesocket(s);
}

TEST(WinSockNotifications, AcceptComesOnceUntilTheNextAcceptAndTheNewSocketIsSelectedAsItsListener) {
  WinsockStarted started;
  RecordingWindow w;
  SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = loopback(0);
  ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(WSAAsyncSelect(listener, w.hwnd, kAsync, FD_ACCEPT), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  int length = sizeof a;
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length), 0);
  auto client = [](PeerConnection& c) {
    c.send("hi");
    c.waitClosed();
  };
  LoopbackClient one(ntohs(a.sin_port), client);
  LoopbackClient two(ntohs(a.sin_port), client);
  ASSERT_TRUE(pumpUntil([&] { return !notices(w, listener, kAsync).empty(); }));
  pumpAWhile();
  EXPECT_EQ(notices(w, listener, kAsync), (std::vector<Notice>{{FD_ACCEPT, 0}}));

  sockaddr_in peer{};
  length = sizeof peer;
  SOCKET first = accept(listener, reinterpret_cast<sockaddr*>(&peer), &length);
  ASSERT_NE(first, INVALID_SOCKET);
  EXPECT_EQ(length, static_cast<int>(sizeof peer));
  EXPECT_STREQ(inet_ntoa(peer.sin_addr), "127.0.0.1");
  ASSERT_TRUE(pumpUntil([&] { return notices(w, listener, kAsync).size() == 2; }));  // the second client
  SOCKET second = accept(listener, nullptr, nullptr);
  ASSERT_NE(second, INVALID_SOCKET);

  // Selected for FD_ACCEPT alone, like the listener: the waiting "hi" is not
  // announced until the socket is selected anew.
  pumpAWhile();
  EXPECT_TRUE(notices(w, first, kAsync).empty());
  ASSERT_EQ(WSAAsyncSelect(first, w.hwnd, kNotify, kEvents), 0);
  ASSERT_TRUE(pumpUntil([&] { return count(w, first, FD_READ) == 1; }));
  EXPECT_EQ(accept(listener, nullptr, nullptr), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  closesocket(first);
  closesocket(second);
  closesocket(listener);
}

// As on Windows, closesocket takes nothing out of the queue: the next socket
// gets the same descriptor number at once, so the owner of the window must
// remove what is queued for the socket before closing it.
TEST(WinSockNotifications, NotificationsQueuedBeforeCloseAreStillDeliveredAndNothingAfter) {
  WinsockStarted started;
  RecordingWindow w;
  std::atomic<bool> go{false};
  LoopbackPeer peer([&](PeerConnection& c) {
    testsupport::waitFor(go);
    c.send("x");  // then closes
  });
  SOCKET s = connectSelected(w, peer.port());
  go = true;
  ASSERT_TRUE(peer.waitFinished());
  // The pump queues FD_READ (and FD_CLOSE) without dispatching them.
  MSG msg;
  bool queued = false;
  for (int i = 0; i < 5000 && !queued; ++i, Sleep(2))
    queued = PeekMessageA(&msg, w.hwnd, kNotify, kNotify, PM_NOREMOVE);
  ASSERT_TRUE(queued);
  EXPECT_EQ(msg.wParam, s);
  ASSERT_EQ(closesocket(s), 0);
  SOCKET next = socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_EQ(next, s);
  std::vector<Notice> left;
  while (PeekMessageA(&msg, w.hwnd, kNotify, kNotify, PM_REMOVE)) {
    EXPECT_EQ(msg.wParam, s);
    left.push_back({WSAGETSELECTEVENT(msg.lParam), WSAGETSELECTERROR(msg.lParam)});
  }
  ASSERT_FALSE(left.empty());
  EXPECT_EQ(left.front(), (Notice{FD_READ, 0}));
  const std::size_t before = w.delivered.size();
  pumpAWhile();
  EXPECT_EQ(w.delivered.size(), before) << "posted after closesocket";
  closesocket(next);
}

TEST(WinSockErrors, FailuresCarryTheWindowsNumbers) {
  WinsockStarted started;
  testsupport::BusyPort busy;
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  char buf[4] = {};
  EXPECT_EQ(recv(s, buf, sizeof buf, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTCONN);
  EXPECT_EQ(send(s, buf, sizeof buf, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTCONN);
  EXPECT_EQ(accept(s, nullptr, nullptr), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
  const sockaddr_in used = loopback(busy.port());
  EXPECT_EQ(bind(s, reinterpret_cast<const sockaddr*>(&used), sizeof used), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEADDRINUSE);
  EXPECT_EQ(setsockopt(s, SOL_SOCKET, 0x1001, buf, sizeof buf), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOPROTOOPT);
  EXPECT_EQ(socket(AF_INET, 2, 0), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSAESOCKTNOSUPPORT);
  EXPECT_EQ(closesocket(s), 0);
  EXPECT_EQ(closesocket(s), SOCKET_ERROR);  // not a socket any more
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  EXPECT_EQ(recv(s, buf, sizeof buf, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

TEST(WinSockErrors, SendingToAResetPeerFailsWith10054AndRaisesNoSignal) {
  WinsockStarted started;
  RecordingWindow w;
  LoopbackPeer peer([](PeerConnection& c) { c.reset(); });
  SOCKET s = connectSelected(w, peer.port());
  ASSERT_TRUE(pumpUntil([&] { return count(w, s, FD_CLOSE) == 1; }));
  int result = 0;
  for (int i = 0; i < 100 && result != SOCKET_ERROR; ++i) result = send(s, "x", 1, 0);
  EXPECT_EQ(result, SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
  closesocket(s);
}

// Look-ups: the buffer is filled with a marker so that any write shows.
struct LookupBuffer {
  LookupBuffer() { std::memset(bytes, 0xAB, sizeof bytes); }
  bool untouched() const {
    for (unsigned char b : bytes)
      if (b != 0xAB) return false;
    return true;
  }
  alignas(8) unsigned char bytes[MAXGETHOSTSTRUCT];
  char* data() { return reinterpret_cast<char*>(bytes); }
};

bool waitForLookups() {
  for (int i = 0; i < 5000 && win32::hostLookupsRunning() > 0; ++i) Sleep(2);
  return win32::hostLookupsRunning() == 0;
}

TEST(WinSockHostLookup, TheHostEntryIsLaidOutInTheCallersBufferWhenTheReplyIsRetrieved) {
  WinsockStarted started;
  RecordingWindow w;
  LookupBuffer buffer;
  HANDLE task = WSAAsyncGetHostByName(w.hwnd, kAsync, "localhost", buffer.data(), MAXGETHOSTSTRUCT);
  ASSERT_NE(task, nullptr);
  ASSERT_TRUE(waitForLookups());
  EXPECT_TRUE(buffer.untouched());  // the worker writes nothing
  pumpPending();
  ASSERT_EQ(w.count(kAsync), 1);
  const auto& reply = w.delivered.back();
  EXPECT_EQ(reply.wParam, reinterpret_cast<WPARAM>(task));
  EXPECT_EQ(WSAGETASYNCERROR(reply.lParam), 0);
  const std::size_t length = WSAGETASYNCBUFLEN(reply.lParam);
  ASSERT_GT(length, sizeof(hostent));
  ASSERT_LE(length, static_cast<std::size_t>(MAXGETHOSTSTRUCT));

  hostent entry;
  std::memcpy(&entry, buffer.bytes, sizeof entry);
  auto inside = [&](const void* p) {
    return p >= static_cast<const void*>(buffer.bytes) && p < static_cast<const void*>(buffer.bytes + length);
  };
  EXPECT_STREQ(entry.h_name, "localhost");
  EXPECT_TRUE(inside(entry.h_name));
  EXPECT_EQ(entry.h_addrtype, AF_INET);
  EXPECT_EQ(entry.h_length, 4);
  ASSERT_TRUE(inside(entry.h_aliases));
  EXPECT_EQ(entry.h_aliases[0], nullptr);
  ASSERT_TRUE(inside(entry.h_addr_list));
  ASSERT_TRUE(inside(entry.h_addr_list[0]));
  in_addr first;
  std::memcpy(&first, entry.h_addr_list[0], 4);
  EXPECT_STREQ(inet_ntoa(first), "127.0.0.1");
  for (std::size_t i = length; i < sizeof buffer.bytes; ++i) ASSERT_EQ(buffer.bytes[i], 0xAB) << i;
}

TEST(WinSockHostLookup, AnUnknownNameFailsWith11001AndATooSmallBufferWithTheLengthNeeded) {
  WinsockStarted started;
  RecordingWindow w;
  LookupBuffer unknown;
  LookupBuffer small;
  ASSERT_NE(WSAAsyncGetHostByName(w.hwnd, kAsync, "no-such-host.invalid", unknown.data(), MAXGETHOSTSTRUCT),
            nullptr);
  ASSERT_NE(WSAAsyncGetHostByName(w.hwnd, kAsync, "localhost", small.data(), 40), nullptr);
  ASSERT_TRUE(pumpUntil([&] { return w.count(kAsync) == 2; }));
  std::vector<WORD> errors;
  for (const auto& d : w.delivered) {
    errors.push_back(WSAGETASYNCERROR(d.lParam));
    if (WSAGETASYNCERROR(d.lParam) == WSAENOBUFS) EXPECT_GT(WSAGETASYNCBUFLEN(d.lParam), 40);
    else EXPECT_EQ(WSAGETASYNCBUFLEN(d.lParam), 0);
  }
  std::sort(errors.begin(), errors.end());
  EXPECT_EQ(errors, (std::vector<WORD>{WSAENOBUFS, WSAHOST_NOT_FOUND}));
  EXPECT_TRUE(unknown.untouched());
  EXPECT_TRUE(small.untouched());
}

TEST(WinSockHostLookup, AReplyThatOutlivesItsWindowWritesNothing) {
  WinsockStarted started;
  LookupBuffer early;  // window gone before the reply is posted, most likely
  LookupBuffer queued;  // reply already queued when the window goes
  {
    RecordingWindow w;
    ASSERT_NE(WSAAsyncGetHostByName(w.hwnd, kAsync, "localhost", early.data(), MAXGETHOSTSTRUCT), nullptr);
  }
  {
    RecordingWindow w;
    ASSERT_NE(WSAAsyncGetHostByName(w.hwnd, kAsync, "localhost", queued.data(), MAXGETHOSTSTRUCT), nullptr);
    ASSERT_TRUE(waitForLookups());
  }
  ASSERT_TRUE(waitForLookups());
  pumpAWhile();
  EXPECT_TRUE(early.untouched());
  EXPECT_TRUE(queued.untouched());
}

}  // namespace
