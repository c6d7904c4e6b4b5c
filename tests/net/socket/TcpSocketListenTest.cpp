#include "net/socket/TcpSocket.h"
#include "platform/Win32.h"
#include "tests/net/socket/SocketTesting.h"
#include "tests/support/LoopbackPeer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>

using sockettest::ConnectedSocket;
using sockettest::OneShot;
using sockettest::pumpUntil;
using sockettest::raised;
using sockettest::Watchdog;
using testsupport::LoopbackClient;
using testsupport::PeerConnection;

namespace {

// The port that a ",high,low" argument names.
int portOf(const std::string& arg) {
  int high = -1;
  int low = -1;
  char end = 0;
  if (std::sscanf(arg.c_str(), ",%d,%d%c", &high, &low, &end) != 2) return -1;
  return high * 256 + low;
}

TEST(TTcpSocketListen, ListenOnPortZeroThenAcceptARealConnection) {
  TTcpSocket data(nullptr);
  Watchdog watchdog(data);
  int accepts = 0;
  data.OnAccept = [&](TObject*) { ++accepts; };
  data.Port = 0;
  data.Listen(true);
  const std::string portArg = data.GetLocalPortArg();
  const int port = portOf(portArg);
  ASSERT_GT(port, 0) << portArg;
  EXPECT_EQ(portArg, "," + IntToStr(port / 256) + "," + IntToStr(port % 256));
  EXPECT_EQ(data.GetLocalAddressArg(), "0,0,0,0");  // the wildcard address

  LoopbackClient client(static_cast<std::uint16_t>(port), [](PeerConnection& c) {
    c.send("hello\r\n");
    c.waitClosed();
  });
  const std::uint16_t listening = data.SocketHandle;
  const std::uint16_t accepted = data.Accept();
  EXPECT_EQ(accepts, 1);
  EXPECT_TRUE(data.Connected);
  in_addr peer{};
  peer.s_addr = data.RemoteAddress.sin_addr;
  EXPECT_STREQ(inet_ntoa(peer), "127.0.0.1");
  EXPECT_EQ(ntohs(data.RemoteAddress.sin_port), client.localPort());

  // The caller adopts the connection and closes the listening socket.
  data.SocketHandle = accepted;
  data.DiscardSocket(listening);
  data.TimeOut = 10000;
  EXPECT_EQ(data.ReadLn(), "hello\r\n");
}

TEST(TTcpSocketListen, TheLocalAddressOfAConnectedSocketIsTheInterfaceInUse) {
  ConnectedSocket control([](PeerConnection& c) { c.waitClosed(); });
  EXPECT_EQ(control.socket.GetLocalAddressArg(), "127,0,0,1");
  EXPECT_GT(portOf(control.socket.GetLocalPortArg()), 0);
}

TEST(TTcpSocketListen, AcceptWithoutAConnectionEndsByCancelOrTimeOut) {
  TTcpSocket data(nullptr);
  Watchdog watchdog(data);
  data.Port = 0;
  data.Listen(true);
  {
    OneShot cancel(30, [&] { data.Cancel(); });
    EXPECT_EQ(raised<ESockError>([&] { data.Accept(); }), "Accepting Canceled");
  }
  EXPECT_TRUE(data.Canceled);  // stays set
  data.Canceled = false;
  data.TimeOut = 30;
  data.TimerOn();
  EXPECT_EQ(raised<ESockError>([&] { data.Accept(); }), "Accepting Canceled");
  EXPECT_TRUE(data.TimedOut);
}

TEST(TTcpSocketListen, AfterListenFalseOnlyOnAcceptTellsOfTheConnection) {
  TTcpSocket data(nullptr);
  Watchdog watchdog(data);
  int accepts = 0;
  data.OnAccept = [&](TObject*) { ++accepts; };
  data.Port = 0;
  data.Listen(false);
  LoopbackClient client(static_cast<std::uint16_t>(portOf(data.GetLocalPortArg())),
                        [](PeerConnection& c) { c.waitClosed(); });
  ASSERT_TRUE(pumpUntil([&] { return accepts == 1; }));
  EXPECT_TRUE(data.Connected);
  EXPECT_FALSE(data.EventArrived);
  OneShot cancel(30, [&] { data.Cancel(); });
  EXPECT_EQ(raised<ESockError>([&] { data.Accept(); }), "Accepting Canceled");
}

TEST(TTcpSocketListen, ABusyPortOrAPortBeyondSixteenBitsIsRefused) {
  testsupport::BusyPort busy;
  TTcpSocket data(nullptr);
  std::vector<int> errors;
  data.OnError = [&](TComponent*, std::uint16_t number, const std::string&) { errors.push_back(number); };
  data.Port = busy.port();
  EXPECT_EQ(raised<ESockError>([&] { data.Listen(true); }), "10048:Address already in use");
  EXPECT_EQ(errors, std::vector<int>{10048});
  data.Port = 65536;
  EXPECT_EQ(raised<ERangeError>([&] { data.Listen(true); }), "Range check error");
}

TEST(ExtractField, TakesTheNthFieldBetweenSeparators) {
  const struct {
    const char* text;
    int n;
    const char* field;
  } cases[] = {
      {"a,b,,d", 1, "a"},
      {"a,b,,d", 2, "b"},
      {"a,b,,d", 3, ""},
      {"a,b,,d", 4, "d"},
      {"a,b,,d", 5, ""},
      {"(192,168,1,20,19,137)", 1, "(192"},
      {"(192,168,1,20,19,137)", 6, "137)"},
      {" x , y ", 2, " y "},
      {"abc", 1, "abc"},
      {"abc", 0, ""},
      {"abc", -1, ""},
      {"", 1, ""},
      {",", 1, ""},
      {",", 2, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtractField(c.text, ',', c.n), c.field) << c.text << " " << c.n;
}

}  // namespace
