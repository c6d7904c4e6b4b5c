#include "net/socket/TcpSocket.h"
#include "platform/Win32.h"
#include "tests/net/socket/SocketTesting.h"
#include "tests/support/LoopbackPeer.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/WindowCreationRefused.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using sockettest::ConnectedSocket;
using sockettest::OneShot;
using sockettest::pumpAWhile;
using sockettest::pumpUntil;
using sockettest::raised;
using sockettest::StatusLog;
using sockettest::waitQueued;
using sockettest::Watchdog;
using testsupport::LoopbackPeer;
using testsupport::PeerConnection;
using Texts = std::vector<std::string>;

namespace {

void waitForClose(PeerConnection& c) { c.waitClosed(); }

std::string dotted(const TSockAddrIn& address) {
  in_addr a{};
  a.s_addr = address.sin_addr;
  return inet_ntoa(a);
}

TEST(TTcpSocketConnect, ADottedHostConnectsWithoutALookUp) {
  LoopbackPeer peer(waitForClose);
  TTcpSocket socket(nullptr);
  Watchdog watchdog(socket);
  StatusLog log(socket, 8);
  int resolved = 0;
  int connected = 0;
  socket.OnHostResolved = [&](TComponent*) { ++resolved; };
  socket.OnConnect = [&](TObject*) { ++connected; };
  socket.Host = "127.0.0.1";
  socket.Port = peer.port();
  socket.Connect();
  EXPECT_TRUE(socket.Connected);
  EXPECT_EQ(connected, 1);
  EXPECT_EQ(resolved, 0);
  // One Timer On: the connect's; a look-up would arm its own first.
  EXPECT_EQ(log.texts, (Texts{"Connecting", "Resolve Host", "Timer On", "Timer Off"}));
}

TEST(TTcpSocketConnect, ANameIsLookedUpAsynchronouslyAndResolvedOnce) {
  LoopbackPeer peer(waitForClose);
  TTcpSocket socket(nullptr);
  Watchdog watchdog(socket);
  StatusLog log(socket, 8);
  int resolved = 0;
  socket.OnHostResolved = [&](TComponent* sender) {
    EXPECT_EQ(sender, &socket);
    EXPECT_EQ(dotted(socket.RemoteAddress), "127.0.0.1");
    ++resolved;
  };
  socket.Host = "localhost";
  socket.Port = peer.port();
  socket.Connect();
  EXPECT_TRUE(socket.Connected);
  EXPECT_EQ(resolved, 1);
  EXPECT_EQ(log.texts, (Texts{"Connecting", "Resolve Host", "Timer On", "Timer Off", "Timer On", "Timer Off"}));
}

// (An empty name is no such host on Windows: it names the local computer.)
TEST(TTcpSocketConnect, AHostWithoutAddressIsOfferedToOnInvalidHostOnce) {
  for (const char* host : {"no-such-host.invalid", "0.0.0.0"}) {
    SCOPED_TRACE(host);
    TTcpSocket socket(nullptr);
    Watchdog watchdog(socket);
    socket.Host = host;
    socket.Port = 21;
    EXPECT_EQ(raised<ESockError>([&] { socket.Connect(); }), "Null Remote Address");

    int offers = 0;
    socket.OnInvalidHost = [&](bool& handled) {
      ++offers;
      handled = true;  // but the host stays as it is
    };
    EXPECT_EQ(raised<ESockError>([&] { socket.Connect(); }), "Null Remote Address");
    EXPECT_EQ(offers, 1);

    LoopbackPeer peer(waitForClose);
    offers = 0;
    socket.OnInvalidHost = [&](bool& handled) {
      ++offers;
      socket.Host = "127.0.0.1";
      socket.Port = peer.port();
      handled = true;
    };
    socket.Connect();
    EXPECT_TRUE(socket.Connected);
    EXPECT_EQ(offers, 1);
  }
}

TEST(TTcpSocketConnect, AProxyReplacesHostAndPort) {
  LoopbackPeer peer(waitForClose);
  TTcpSocket socket(nullptr);
  Watchdog watchdog(socket);
  socket.Host = "no-such-host.invalid";
  socket.Port = 1;
  socket.Proxy = "127.0.0.1";
  socket.ProxyPort = peer.port();
  socket.Connect();
  EXPECT_TRUE(socket.Connected);
  EXPECT_EQ(ntohs(socket.RemoteAddress.sin_port), peer.port());
}

// A port beyond 16 bits (a server's PASV reply can name one) must not reach
// another port cut to 16 bits: 65,536 more than a listening port would.
TEST(TTcpSocketConnect, APortOutsideSixteenBitsIsARangeError) {
  LoopbackPeer peer(waitForClose);
  TTcpSocket socket(nullptr);
  Watchdog watchdog(socket);
  socket.Host = "127.0.0.1";
  socket.Port = peer.port() + 65536;
  EXPECT_THROW(socket.Connect(), ERangeError);
  socket.Port = peer.port();
  socket.Proxy = "127.0.0.1";
  socket.ProxyPort = -1;
  EXPECT_THROW(socket.Connect(), ERangeError);
  EXPECT_FALSE(socket.Connected);
  EXPECT_FALSE(peer.finished());
}

TEST(TTcpSocketConnect, ARefusedPortFiresOnConnectionFailedThenRaisesConnectionFailed) {
  testsupport::RefusingPort refusing;
  TTcpSocket socket(nullptr);
  Watchdog watchdog(socket);
  Texts events;
  socket.OnConnectionFailed = [&](TObject*) { events.push_back("OnConnectionFailed"); };
  socket.OnConnect = [&](TObject*) { events.push_back("OnConnect"); };
  socket.Host = "127.0.0.1";
  socket.Port = refusing.port();
  events.push_back(raised<ESockError>([&] { socket.Connect(); }));
  EXPECT_EQ(events, (Texts{"OnConnectionFailed", "Connection Failed"}));
  EXPECT_FALSE(socket.Connected);
  EXPECT_FALSE(socket.Succeeded);
}

// The connect hangs at a listener whose accept queue is full: Linux drops the
// handshake, and so does Wine (its sockets are Linux's); Windows itself would
// refuse it.
TEST(TTcpSocketConnect, AConnectThatHangsEndsByCancelOrByTheTimeOut) {
  testsupport::StalledListener stalled;
  TTcpSocket socket(nullptr);
  Watchdog watchdog(socket);
  int failures = 0;
  socket.OnConnectionFailed = [&](TObject*) { ++failures; };
  socket.Host = "127.0.0.1";
  socket.Port = stalled.port();
  {
    OneShot cancel(30, [&] { socket.Cancel(); });
    EXPECT_EQ(raised<ESockError>([&] { socket.Connect(); }), "Connection Canceled");
  }
  EXPECT_TRUE(socket.Canceled);  // left set
  EXPECT_FALSE(socket.TimedOut);

  socket.Disconnect();  // the attempt still runs; start afresh
  socket.TimeOut = 30;
  EXPECT_EQ(raised<ESockError>([&] { socket.Connect(); }), "Connection Timed out");
  EXPECT_TRUE(socket.TimedOut);
  EXPECT_EQ(failures, 2);
  EXPECT_FALSE(socket.Connected);
}

TEST(TTcpSocketConnect, ConnectWhileConnectedFailsAtOnceAndLeavesTheConnection) {
  std::atomic<bool> done{false};
  std::string received;
  ConnectedSocket c([&](PeerConnection& peer) {
    received = peer.receiveLine();
    done = true;
  });
  const std::uint16_t handle = c.socket.SocketHandle;
  int failures = 0;
  c.socket.OnConnectionFailed = [&](TObject*) { ++failures; };
  EXPECT_EQ(raised<ESockError>([&] { c.socket.Connect(); }), "Already connected");
  EXPECT_EQ(failures, 0);
  EXPECT_TRUE(c.socket.Connected);
  EXPECT_EQ(c.socket.SocketHandle, handle);
  c.socket.Writeln("still here");
  ASSERT_TRUE(testsupport::waitFor(done));
  EXPECT_EQ(received, "still here\r\n");
}

TEST(TTcpSocketConnect, AfterDisconnectTheSameComponentConnectsAgain) {
  std::atomic<bool> firstClosed{false};
  LoopbackPeer first([&](PeerConnection& c) { firstClosed = c.waitClosed(); });
  LoopbackPeer second(waitForClose);
  TTcpSocket socket(nullptr);
  Watchdog watchdog(socket);
  StatusLog log(socket, 4);
  int disconnects = 0;
  socket.OnDisconnect = [&](TObject*) { ++disconnects; };
  socket.Host = "127.0.0.1";
  socket.Port = first.port();
  socket.Connect();
  socket.Disconnect();
  EXPECT_FALSE(socket.Connected);
  EXPECT_EQ(disconnects, 1);
  EXPECT_NE(socket.SocketHandle, kNoSocket);  // a fresh socket is ready
  EXPECT_TRUE(testsupport::waitFor(firstClosed));
  socket.Port = second.port();
  socket.Connect();
  EXPECT_TRUE(socket.Connected);
  EXPECT_EQ(log.texts, (Texts{"Request Close Socket"}));
}

// The system tells of a peer's close only once what the peer sent before it
// was read: until then the component stays connected.
TEST(TTcpSocketConnect, ThePeersCloseDisconnectsOnceTheUnreadDataWasRead) {
  std::atomic<bool> go{false};
  ConnectedSocket quiet([&](PeerConnection&) { testsupport::waitFor(go); });
  ConnectedSocket talking([&](PeerConnection& c) {
    testsupport::waitFor(go);
    c.send("bye");
  });
  int quietDisconnects = 0;
  int talkingDisconnects = 0;
  quiet.socket.OnDisconnect = [&](TObject*) { ++quietDisconnects; };
  talking.socket.OnDisconnect = [&](TObject*) { ++talkingDisconnects; };
  go = true;
  ASSERT_TRUE(quiet.peer.waitFinished());
  ASSERT_TRUE(talking.peer.waitFinished());
  ASSERT_TRUE(pumpUntil([&] { return !quiet.socket.Connected; }));
  EXPECT_EQ(quietDisconnects, 1);
  ASSERT_TRUE(pumpUntil([&] { return talking.socket.DataAvailable(); }));
  pumpAWhile();
  EXPECT_TRUE(talking.socket.Connected);
  EXPECT_EQ(talkingDisconnects, 0);
  EXPECT_EQ(talking.socket.Read(0), "bye");
  ASSERT_TRUE(pumpUntil([&] { return !talking.socket.Connected; }));
  EXPECT_EQ(talkingDisconnects, 1);
  EXPECT_EQ(talking.socket.ReadLn(), "");
}

// Registered messages (the taskbar's, which the system broadcasts to every
// top-level window) reach the hidden window too; only its own two are
// notifications. One claims a refusal during a connect wait that only a
// cancel ends; another comes just behind the reply of a failed look-up,
// while the buffer still holds the entry of the look-up before.
TEST(TTcpSocketConnect, MessagesOfOthersToTheHiddenWindowChangeNothing) {
  const UINT broadcast = RegisterWindowMessageA("TaskbarCreated");
  ASSERT_GE(broadcast, 0xC000u);
  testsupport::StalledListener stalled;
  TTcpSocket socket(nullptr);
  Watchdog watchdog(socket);
  testsupport::RecordingWindow lookUpRunning;
  std::unique_ptr<OneShot> cancel;
  bool resolved = false;
  bool lookUpFails = false;
  socket.OnHostResolved = [&](TComponent*) { resolved = true; };
  socket.ReportLevel = 8;
  socket.OnStatus = [&](TComponent*, const std::string& text) {
    if (text != "Timer On") return;
    if (resolved) {
      PostMessageA(socket.WindowHandle, broadcast, socket.SocketHandle, WSAMAKESELECTREPLY(FD_CONNECT, WSAECONNREFUSED));
      cancel = std::make_unique<OneShot>(50, [&] { socket.Cancel(); });
    } else if (lookUpFails) {
      PostMessageA(lookUpRunning.hwnd, WM_USER, 0, 0);  // handled once the look-up runs
    }
  };
  lookUpRunning.onMessage = [&](UINT, WPARAM, LPARAM) {
    MSG reply;
    waitQueued(socket.WindowHandle, kSocketAsyncMessage, reply);
    PostMessageA(socket.WindowHandle, broadcast, 0, 0);
  };
  socket.Host = "localhost";
  socket.Port = stalled.port();
  EXPECT_EQ(raised<ESockError>([&] { socket.Connect(); }), "Connection Canceled");
  socket.Disconnect();  // the attempt still runs

  resolved = false;
  lookUpFails = true;
  socket.Host = "no-such-host.invalid";
  EXPECT_EQ(raised<ESockError>([&] { socket.Connect(); }), "Null Remote Address");
  EXPECT_FALSE(resolved);
}

// Windows still delivers what it queued for a socket before closesocket, and
// the next socket often gets the closed one's handle: a close notice left
// from the last connection must not end the next. The notice is the
// system's (the peer closed before the Disconnect), or one posted as Windows
// could have posted it.
TEST(TTcpSocketConnect, NoticesQueuedForAClosedSocketNeverReachTheNextConnection) {
  for (bool peerClosed : {true, false}) {
    SCOPED_TRACE(peerClosed ? "the peer's close" : "a posted close notice");
    std::atomic<bool> connected{false};
    LoopbackPeer first([&](PeerConnection& c) {
      if (peerClosed) testsupport::waitFor(connected);
      else c.waitClosed();
    });
    LoopbackPeer second([](PeerConnection& c) {
      c.send(c.receiveLine());
      c.waitClosed();
    });
    TTcpSocket socket(nullptr);
    Watchdog watchdog(socket);
    int disconnects = 0;
    socket.OnDisconnect = [&](TObject*) { ++disconnects; };
    socket.TimeOut = 10000;
    socket.Host = "127.0.0.1";
    socket.Port = first.port();
    socket.Connect();
    connected = true;
    if (peerClosed) {
      MSG notice{};
      ASSERT_TRUE(waitQueued(socket.WindowHandle, kSocketMessage, notice));
      ASSERT_EQ(WSAGETSELECTEVENT(notice.lParam), FD_CLOSE);
    } else {
      PostMessageA(socket.WindowHandle, kSocketMessage, socket.SocketHandle, WSAMAKESELECTREPLY(FD_CLOSE, 0));
    }
    socket.Disconnect();
    socket.Port = second.port();
    std::string echoed;
    EXPECT_EQ(raised<ESockError>([&] {
                socket.Connect();
                socket.Writeln("echo");
                echoed = socket.ReadLn();
              }),
              "nothing raised");
    EXPECT_EQ(echoed, "echo\r\n");
    EXPECT_TRUE(socket.Connected);
    EXPECT_EQ(disconnects, 1);
  }
}

TEST(TTcpSocketConnect, CheckConnectionOffersOnConnectionRequiredOnce) {
  LoopbackPeer peer(waitForClose);
  TTcpSocket socket(nullptr);
  Watchdog watchdog(socket);
  try {
    socket.CheckConnection();
    ADD_FAILURE() << "nothing raised";
  } catch (const ESockError&) {
    ADD_FAILURE() << "a socket error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Not Connected");
  }
  int offers = 0;
  socket.OnConnectionRequired = [&](bool& handled) {
    ++offers;
    handled = true;  // without connecting
  };
  EXPECT_EQ(raised<Exception>([&] { socket.CheckConnection(); }), "Not Connected");
  EXPECT_EQ(offers, 1);
  socket.OnConnectionRequired = [&](bool& handled) {
    ++offers;
    socket.Host = "127.0.0.1";
    socket.Port = peer.port();
    socket.Connect();
    handled = true;
  };
  socket.CheckConnection();
  EXPECT_EQ(offers, 2);
  EXPECT_TRUE(socket.Connected);
}

TEST(TTcpSocketStatus, ReportLevelFiltersTheTexts) {
  const Texts everything{"Connecting", "Resolve Host", "Timer On", "Timer Off", "Transaction", "Writeln", "Write",
                         "Sending Buffer", "Timer On", "Timer Off", "ReadLn", "Timer On", "Timer Off",
                         "220 Ready\r\n", "Disconnecting", "Request Close Socket"};
  const struct {
    int level;
    Texts expected;
  } cases[] = {
      {0, {}},
      {1, {"220 Ready\r\n"}},
      {4, {"Sending Buffer", "220 Ready\r\n", "Request Close Socket"}},
      {8, everything},
      {9, everything},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    LoopbackPeer peer([](PeerConnection& p) {
      p.receiveLine();
      p.send("220 Ready\r\n");
      p.waitClosed();
    });
    TTcpSocket socket(nullptr);
    StatusLog log(socket, c.level);
    socket.Host = "127.0.0.1";
    socket.Port = peer.port();
    socket.Connect();
    socket.Transaction("NOOP");
    socket.Disconnect();
    EXPECT_EQ(log.texts, c.expected);
    if (!log.texts.empty()) {
      EXPECT_EQ(socket.Status, log.texts.back());
    }
  }
}

TEST(TTcpSocketStartUp, OnlyTheFirstInstanceFillsWSAInfo) {
  auto first = std::make_unique<TTcpSocket>(nullptr);
  TTcpSocket second(nullptr);
  ASSERT_EQ(first->WSAInfo->Count(), 6);
  EXPECT_EQ(first->WSAInfo->Strings(0), "Version= 1.1");
  // The highest version the system offers: 1.1 on Linux's platform, 2.2 on
  // Windows.
  const std::uint16_t high = first->WSAData.wHighVersion;
  EXPECT_EQ(first->WSAInfo->Strings(1), "High Version= " + IntToStr(high >> 8) + "." + IntToStr(high & 0xFF));
  EXPECT_GE(high, 0x0101);
  EXPECT_EQ(first->WSAInfo->Strings(2), std::string("Description= ") + first->WSAData.szDescription);
  EXPECT_EQ(first->WSAInfo->Strings(3), "System= Running");
  EXPECT_EQ(first->WSAInfo->Strings(4), "Max Sockets= " + IntToStr(first->WSAData.iMaxSockets));
  EXPECT_EQ(first->WSAInfo->Strings(5), "Max Udp pack size= 65467");
  EXPECT_EQ(second.WSAInfo->Count(), 0);
  EXPECT_EQ(second.WSAData.wVersion, 0);
  EXPECT_NE(second.SocketHandle, kNoSocket);
  // The count falls to 0 only with the last instance.
  first.reset();
  TTcpSocket third(nullptr);
  EXPECT_EQ(third.WSAInfo->Count(), 0);
}

TEST(TTcpSocketStartUp, WithoutAHiddenWindowConstructionFails) {
  {
    testsupport::WindowCreationRefused refused;
    ASSERT_TRUE(refused.refusing());
    EXPECT_EQ(raised<ESockError>([] { TTcpSocket socket(nullptr); }), "Socket window could not be created");
  }
  TTcpSocket socket(nullptr);
  EXPECT_EQ(socket.WSAInfo->Count(), 6);  // the start-up count was not disturbed
}

// Windows writes a look-up's host entry into the caller's buffer before it
// posts the reply, also after the component is gone: the component's window
// and buffer stay until the reply came, then go. Cancelled before its wait
// began, the look-up goes on after Connect raised; the component is destroyed
// while it runs, or after its reply was queued. The sanitizers catch any
// write into a freed buffer.
TEST(TTcpSocketStartUp, AComponentDestroyedWhileItsLookUpRunsLeavesNothingBehind) {
  for (bool replyQueued : {false, true}) {
    SCOPED_TRACE(replyQueued);
    auto* socket = new TTcpSocket(nullptr);
    socket->Host = "localhost";
    socket->ReportLevel = 8;
    socket->OnStatus = [socket](TComponent*, const std::string& text) {
      if (text == "Timer On") socket->Cancel();
    };
    EXPECT_EQ(raised<ESockError>([&] { socket->Connect(); }), "Host Lookup Canceled");
    HWND window = socket->WindowHandle;
    if (replyQueued) {
      MSG reply;
      ASSERT_TRUE(waitQueued(window, kSocketAsyncMessage, reply));
    }
    delete socket;
    EXPECT_TRUE(IsWindow(window)) << "gone before the look-up's reply";
    ASSERT_TRUE(pumpUntil([&] { return !IsWindow(window); }));
  }
}

}  // namespace
