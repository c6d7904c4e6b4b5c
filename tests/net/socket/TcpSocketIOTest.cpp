#include "net/socket/TcpSocket.h"
#include "tests/net/socket/SocketTesting.h"
#include "tests/support/LoopbackPeer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using sockettest::ConnectedSocket;
using sockettest::OneShot;
using sockettest::pumpUntil;
using sockettest::raised;
using sockettest::StatusLog;
using testsupport::PeerConnection;
using testsupport::waitFor;

namespace {

void pause() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

std::string fileContent(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string pattern(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>('A' + i * 7 % 61);
  return s;
}

TEST(TTcpSocketWrite, WritelnSendsTheTextAndCrLfAndWriteStopsAtANul) {
  std::string received;
  ConnectedSocket c([&](PeerConnection& p) { received = p.receive(18); });
  c.socket.Write(std::string("ab\0cd", 5));
  EXPECT_EQ(raised<ERangeError>([&] { c.socket.Write(std::string(65536, 'x')); }), "Range check error");
  c.socket.Writeln("USER anonymous");
  ASSERT_TRUE(c.peer.waitFinished());
  EXPECT_EQ(received, "abUSER anonymous\r\n");
}

TEST(TTcpSocketWrite, ASendThePeerNeverTakesEndsByTheTimeOut) {
  std::atomic<bool> done{false};
  ConnectedSocket c([&](PeerConnection&) { waitFor(done); });
  c.socket.TimeOut = 100;
  const std::string block(65535, 'x');
  std::string error = "nothing raised";
  for (int i = 0; i < 4000 && error == "nothing raised"; ++i)
    error = raised<EAbortError>([&] { c.socket.Write(block); });
  done = true;
  EXPECT_EQ(error, "Socket send aborted");
  EXPECT_TRUE(c.socket.TimedOut);
  EXPECT_FALSE(c.socket.Canceled);
}

TEST(TTcpSocketWrite, ASendAfterACancelIsAbortedAndSendsNothing) {
  std::string received;
  ConnectedSocket c([&](PeerConnection& p) { received = p.receiveLine(); });
  c.socket.Cancel();
  EXPECT_EQ(raised<EAbortError>([&] { c.socket.Writeln("lost"); }), "Socket send aborted");
  EXPECT_FALSE(c.socket.Canceled);
  c.socket.Writeln("sent");
  ASSERT_TRUE(c.peer.waitFinished());
  EXPECT_EQ(received, "sent\r\n");
}

TEST(TTcpSocketReadLn, ReturnsTheFirstOfTwoPendingLinesAndThenTheSecond) {
  ConnectedSocket c([](PeerConnection& p) {
    p.send("220 one\r\n230 two\r\n");
    p.waitClosed();
  });
  EXPECT_EQ(c.socket.ReadLn(), "220 one\r\n");
  EXPECT_EQ(c.socket.ReadLn(), "230 two\r\n");
}

TEST(TTcpSocketReadLn, ALineInPiecesComesBackOnceWhole) {
  ConnectedSocket c([](PeerConnection& p) {
    for (const char* piece : {"22", "0 Rea", "dy", "\r", "\n331 next"}) {
      p.send(piece);
      pause();
    }
    p.waitClosed();
  });
  EXPECT_EQ(c.socket.ReadLn(), "220 Ready\r\n");
  EXPECT_EQ(c.socket.Read(8), "331 next");
}

TEST(TTcpSocketReadLn, AConnectionThatEndsBeforeALineFeedGivesAnEmptyLine) {
  std::atomic<bool> done{false};
  ConnectedSocket c([&](PeerConnection& p) {
    p.send("partial");
    waitFor(done);
  });
  ASSERT_TRUE(pumpUntil([&] { return c.socket.DataAvailable(); }));
  {
    // The partial line is consumed at once; then the socket is replaced
    // while ReadLn waits, which meets error 10057.
    OneShot drop(30, [&] { c.socket.Disconnect(); });
    EXPECT_EQ(c.socket.ReadLn(), "");
    EXPECT_EQ(c.socket.LastErrorNo, 10057);
  }
  done = true;
  ASSERT_TRUE(c.peer.waitFinished());
  ConnectedSocket closing([](PeerConnection& p) { p.send("partial"); });  // then closes
  EXPECT_EQ(closing.socket.ReadLn(), "");
}

TEST(TTcpSocketReadLn, AnEmptyLineAtTheEndOfTheStreamLeavesTheComponentDisconnected) {
  int disconnects = 0;
  ConnectedSocket c([](PeerConnection& p) { p.receiveLine(); });  // then closes
  c.socket.OnDisconnect = [&](TObject*) { ++disconnects; };
  c.socket.Writeln("QUIT");
  // Wait until the close has arrived but do not process it, as when a reply
  // is awaited right after the peer went away.
  for (int i = 0; i < 5000 && !c.peer.finished(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(c.socket.Connected);
  EXPECT_EQ(c.socket.ReadLn(), "");
  EXPECT_FALSE(c.socket.Connected);
  EXPECT_EQ(disconnects, 1);
}

TEST(TTcpSocketReadLn, ALineLongerThanTheBufferIsAnErrorAndNothingOverflows) {
  ConnectedSocket c([](PeerConnection& p) {
    p.send(std::string(70000, 'a') + "\n");
    p.waitClosed();
  });
  EXPECT_EQ(raised<ESockError>([&] { c.socket.ReadLn(); }), "Socket readln line too long");
  EXPECT_EQ(c.socket.ReadLn(), std::string(70000 - 65536, 'a') + "\n");  // the rest of the line
}

TEST(TTcpSocketReadLn, ATimeOutAndAUserAbortBothAbortTellingThemApartByTimedOut) {
  std::atomic<bool> done{false};
  ConnectedSocket c([&](PeerConnection&) { waitFor(done); });
  c.socket.TimeOut = 50;
  EXPECT_EQ(raised<EAbortError>([&] { c.socket.ReadLn(); }), "Socket readln aborted");
  EXPECT_TRUE(c.socket.TimedOut);
  EXPECT_FALSE(c.socket.Canceled);

  c.socket.TimeOut = 10000;
  OneShot abort(30, [&] { c.socket.Abort(); });
  EXPECT_EQ(raised<EAbortError>([&] { c.socket.ReadLn(); }), "Socket readln aborted");
  EXPECT_FALSE(c.socket.TimedOut);
  EXPECT_FALSE(c.socket.Canceled);
  done = true;
}

TEST(TTcpSocketTransaction, SetsReplyNumberFromTheLeadingDigits) {
  const struct {
    const char* command;
    const char* reply;  // null: the peer closes instead
    std::int16_t number;
  } cases[] = {
      {"USER anonymous", "331 Password required\r\n", 331},
      {"PASS guest", "Ready\r\n", 0},
      {"NOOP", "0042 x\r\n", 42},
      {"STAT", "2222222222 more than an integer\r\n", 0},
      {"QUIT", nullptr, 0},
  };
  std::vector<std::string> commands;
  ConnectedSocket c([&](PeerConnection& p) {
    for (const auto& row : cases) {
      commands.push_back(p.receiveLine());
      if (!row.reply) return;
      p.send(row.reply);
    }
  });
  StatusLog log(c.socket, 1);
  for (const auto& row : cases) {
    SCOPED_TRACE(row.command);
    const std::string reply = c.socket.Transaction(row.command);
    EXPECT_EQ(reply, row.reply ? row.reply : "");
    EXPECT_EQ(c.socket.TransactionReply, reply);
    EXPECT_EQ(c.socket.ReplyNumber, row.number);
  }
  ASSERT_TRUE(c.peer.waitFinished());
  EXPECT_EQ(commands, (std::vector<std::string>{"USER anonymous\r\n", "PASS guest\r\n", "NOOP\r\n", "STAT\r\n",
                                                 "QUIT\r\n"}));
  // Each reply as received; nothing for the closed peer.
  EXPECT_EQ(log.texts, (std::vector<std::string>{cases[0].reply, cases[1].reply, cases[2].reply, cases[3].reply}));
}

TEST(TTcpSocketTransaction, AReplyNumberBeyondSixteenBitsIsARangeError) {
  ConnectedSocket c([](PeerConnection& p) {
    p.receiveLine();
    p.send("40000 x\r\n");
    p.waitClosed();
  });
  EXPECT_EQ(raised<ERangeError>([&] { c.socket.Transaction("X"); }), "Range check error");
}

TEST(TTcpSocketRead, ReadZeroTakesWhatWaitsAndReadNWaitsForAllOrTheClose) {
  std::atomic<bool> start{false};
  std::atomic<bool> more{false};
  std::atomic<bool> rest{false};
  ConnectedSocket c([&](PeerConnection& p) {
    waitFor(start);
    p.send("hello");
    waitFor(more);
    p.send("abc");
    waitFor(rest);
    p.send("de");
    p.send("xy");
  });
  EXPECT_EQ(c.socket.Read(0), "");
  start = true;
  ASSERT_TRUE(pumpUntil([&] { return c.socket.DataAvailable(); }));
  EXPECT_EQ(c.socket.Read(0), "hello");
  {
    more = true;
    OneShot release(30, [&] { rest = true; });
    EXPECT_EQ(c.socket.Read(5), "abcde");  // "abc" waited for "de"
  }
  ASSERT_TRUE(c.peer.waitFinished());
  {
    // Closed behind fewer than 5 bytes: the close is told only once they were
    // read, so Read(5) waits until a cancel ends it, and the bytes stay.
    OneShot cancel(30, [&] { c.socket.Cancel(); });
    EXPECT_EQ(raised<EAbortError>([&] { c.socket.Read(5); }), "Socket send aborted");
  }
  EXPECT_EQ(c.socket.Read(0), "xy");
  EXPECT_EQ(c.socket.Read(1), "");  // closed with nothing left
}

TEST(TTcpSocketRead, AnAbortEndsAReadThatWaits) {
  std::atomic<bool> done{false};
  ConnectedSocket c([&](PeerConnection&) { waitFor(done); });
  OneShot abort(30, [&] { c.socket.Abort(); });
  EXPECT_EQ(raised<EAbortError>([&] { c.socket.Read(3); }), "Socket send aborted");
  EXPECT_FALSE(c.socket.Canceled);
  done = true;
}

// A cancel made before the wait began ends it at once, with or without a
// time-out, and is no time-out. Should the wait go on, the escape ends it
// after 5 s and the test fails.
TEST(TTcpSocketRead, ACancelMadeBeforeAWaitEndsItAtOnce) {
  std::atomic<bool> done{false};
  ConnectedSocket c([&](PeerConnection&) { waitFor(done); });
  for (std::int32_t timeOut : {0, 8000}) {
    SCOPED_TRACE(timeOut);
    c.socket.TimeOut = timeOut;
    bool escaped = false;
    OneShot escape(5000, [&] {
      escaped = true;
      c.socket.Cancel();
    });
    c.socket.Cancel();
    EXPECT_EQ(raised<EAbortError>([&] { c.socket.ReadLn(); }), "Socket readln aborted");
    EXPECT_FALSE(c.socket.TimedOut);
    c.socket.Cancel();
    EXPECT_EQ(raised<EAbortError>([&] { c.socket.Read(3); }), "Socket send aborted");
    EXPECT_FALSE(escaped);
    EXPECT_FALSE(c.socket.Canceled);
  }
  done = true;
}

// The peer closes while Read(n) waits with nothing pending: the close
// notification replaces the socket, and the read ends with an empty text
// instead of error 10057.
TEST(TTcpSocketRead, APeerThatClosesWhileReadNWaitsEndsItWithAnEmptyText) {
  std::atomic<bool> close{false};
  ConnectedSocket c([&](PeerConnection&) { waitFor(close); });  // then closes
  OneShot release(30, [&] { close = true; });
  EXPECT_EQ(raised<ESockError>([&] { EXPECT_EQ(c.socket.Read(5), ""); }), "nothing raised");
  EXPECT_FALSE(c.socket.Connected);
}

TEST(TTcpSocketRead, ClearInputDropsWhatWaitsAndDataAvailableSaysSo) {
  std::atomic<bool> done{false};
  ConnectedSocket c([&](PeerConnection& p) {
    p.send("junk");
    waitFor(done);
  });
  ASSERT_TRUE(pumpUntil([&] { return c.socket.DataAvailable(); }));
  c.socket.ClearInput();
  EXPECT_FALSE(c.socket.DataAvailable());
  done = true;
}

class TTcpSocketCaptureFile : public ::testing::Test {
 protected:
  std::string path =
      ::testing::TempDir() + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin";
  void TearDown() override { std::remove(path.c_str()); }
};

TEST_F(TTcpSocketCaptureFile, WritesExactlyTheBytesSentAndReportsEachBlockAfterCountingIt) {
  const std::string blocks[] = {pattern(1000), pattern(3000), pattern(5000)};
  std::atomic<int> received{0};
  ConnectedSocket c([&](PeerConnection& p) {
    for (const std::string& block : blocks) {
      const int before = received;
      p.send(block);
      for (int i = 0; i < 5000 && received == before; ++i) pause();
    }
  });
  std::vector<std::int32_t> counts;
  c.socket.OnPacketRecvd = [&](TObject*) {
    counts.push_back(c.socket.BytesRecvd);
    ++received;
  };
  c.socket.CaptureFile(path);
  EXPECT_EQ(counts, (std::vector<std::int32_t>{1000, 4000, 9000}));
  EXPECT_EQ(c.socket.BytesRecvd, 9000);
  EXPECT_EQ(fileContent(path), blocks[0] + blocks[1] + blocks[2]);
}

TEST_F(TTcpSocketCaptureFile, AnEmptyStreamGivesAnEmptyFile) {
  std::ofstream(path) << "old content";
  ConnectedSocket c([](PeerConnection&) {});
  int packets = 0;
  c.socket.OnPacketRecvd = [&](TObject*) { ++packets; };
  c.socket.CaptureFile(path);
  EXPECT_EQ(c.socket.BytesRecvd, 0);
  EXPECT_EQ(packets, 0);
  EXPECT_EQ(fileContent(path), "");
}

TEST_F(TTcpSocketCaptureFile, ThePeersCloseWithDataStillWaitingEndsAtTheEndOfTheStream) {
  const std::string data = pattern(100000);
  ConnectedSocket c([&](PeerConnection& p) { p.send(data); });
  ASSERT_TRUE(c.peer.waitFinished());  // all sent and closed before the capture starts
  int disconnects = 0;
  c.socket.OnDisconnect = [&](TObject*) { ++disconnects; };
  c.socket.CaptureFile(path);
  EXPECT_EQ(fileContent(path), data);
  EXPECT_EQ(c.socket.BytesRecvd, 100000);
  // The close is told once the data was read: then, and only once, the
  // component lets the connection go.
  ASSERT_TRUE(pumpUntil([&] { return !c.socket.Connected; }));
  EXPECT_EQ(disconnects, 1);
}

TEST_F(TTcpSocketCaptureFile, ThePeersCloseAfterTheDataEndsThroughTheFreshSocket) {
  const std::string data = pattern(20000);
  std::atomic<PeerConnection*> connection{nullptr};
  std::atomic<bool> done{false};
  ConnectedSocket c([&](PeerConnection& p) {
    connection = &p;
    p.send(data);
    waitFor(done);
  });
  int disconnects = 0;
  c.socket.OnDisconnect = [&](TObject*) { ++disconnects; };
  // The peer closes once everything is in, so its close notification finds
  // nothing unread and the capture meets the fresh socket's error 10057.
  c.socket.OnPacketRecvd = [&](TObject*) {
    if (c.socket.BytesRecvd == 20000) connection.load()->shutdownSending();
  };
  c.socket.CaptureFile(path);
  done = true;
  EXPECT_EQ(fileContent(path), data);
  EXPECT_EQ(disconnects, 1);
  EXPECT_FALSE(c.socket.Connected);
  EXPECT_EQ(c.socket.LastErrorNo, 10057);
}

TEST_F(TTcpSocketCaptureFile, SilenceEndsTheCaptureByTheTimeOutAndKeepsThePart) {
  std::atomic<bool> done{false};
  ConnectedSocket c([&](PeerConnection& p) {
    p.send("first block");
    waitFor(done);
  });
  c.socket.TimeOut = 100;
  EXPECT_EQ(raised<EAbortError>([&] { c.socket.CaptureFile(path); }), "Socket send aborted");
  done = true;
  EXPECT_TRUE(c.socket.TimedOut);
  EXPECT_FALSE(c.socket.Canceled);
  EXPECT_EQ(fileContent(path), "first block");
}

TEST_F(TTcpSocketCaptureFile, AFileThatCannotBeCreatedRaisesAndDisarmsTheTimeOut) {
  std::atomic<bool> done{false};
  ConnectedSocket c([&](PeerConnection&) { waitFor(done); });
  EXPECT_THROW(c.socket.CaptureFile(::testing::TempDir() + "no-such-folder/file.bin"), EFCreateError);
  EXPECT_FALSE(c.socket.Timer->Enabled());
  done = true;
}

}  // namespace
