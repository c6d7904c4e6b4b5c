// The component's start-up where it needs the Linux platform: a process's
// descriptor limit.
#include "net/socket/TcpSocket.h"
#include "platform/Win32.h"
#include "tests/net/socket/SocketTesting.h"
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

}  // namespace
