// The component's start-up and end where they need the Linux platform: a
// process's descriptor limit, and the platform's count of running look-ups.
#include "net/socket/TcpSocket.h"
#include "platform/Win32.h"
#include "platform/posix/Internal.h"
#include "tests/net/socket/SocketTesting.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/posix/DescriptorsExhausted.h"

#include <gtest/gtest.h>

#include <string>

using sockettest::raised;

namespace {

TEST(TTcpSocketStartUp, WithoutASocketConstructionFailsAndRestoresTheCount) {
  // The undefined-behaviour sanitizer needs descriptors to check a type it
  // has not met yet: let it meet the component and a failed socket call first.
  {
    TTcpSocket warm(nullptr);
    WSASetLastError(WSAEMFILE);
    std::string text;
    EXPECT_EQ(raised<ESockError>([&] { warm.CheckSocketError(WSAEWOULDBLOCK, text); }), "10024:Too many open files");
  }
  {
    testsupport::DescriptorsExhausted exhausted;
    EXPECT_EQ(raised<ESockError>([] { TTcpSocket socket(nullptr); }), "Initializaton of windows sockets failed");
  }
  TTcpSocket socket(nullptr);
  EXPECT_EQ(socket.WSAInfo->Count(), 6);  // started afresh: the failed instance gave its start-up back
  EXPECT_NE(socket.SocketHandle, kNoSocket);
}

bool lookUpsFinished() {
  for (int i = 0; i < 5000 && win32::hostLookupsRunning() > 0; ++i) Sleep(2);
  return win32::hostLookupsRunning() == 0;
}

TEST(TTcpSocketStartUp, AComponentDestroyedWhileItsLookUpRunsLeavesNothingBehind) {
  // Cancelled before its wait began, the look-up goes on after Connect
  // raised; the component is destroyed while it runs, or after its reply
  // was queued. The sanitizers catch any write into the freed buffer.
  for (bool replyQueued : {false, true}) {
    SCOPED_TRACE(replyQueued);
    auto* socket = new TTcpSocket(nullptr);
    socket->Host = "localhost";
    socket->ReportLevel = 8;
    socket->OnStatus = [socket](TComponent*, const std::string& text) {
      if (text == "Timer On") socket->Cancel();
    };
    EXPECT_EQ(raised<ESockError>([&] { socket->Connect(); }), "Host Lookup Canceled");
    if (replyQueued) {
      ASSERT_TRUE(lookUpsFinished());
    }
    delete socket;
    ASSERT_TRUE(lookUpsFinished());
    testsupport::pumpPending();
  }
}

}  // namespace
