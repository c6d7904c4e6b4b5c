#include "net/socket/SocketErrors.h"
#include "net/socket/TcpSocket.h"
#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(SocketErrorTable, HoldsFiftyDistinctNumbersAndATerminator) {
  std::set<int> numbers;
  for (int i = 0; i < kSocketErrorRows - 1; ++i) {
    numbers.insert(SocketErrorTable[i].number);
    EXPECT_LE(std::string(SocketErrorTable[i].message).size(), 51u);
  }
  EXPECT_EQ(numbers.size(), 50u);
  EXPECT_EQ(SocketErrorTable[kSocketErrorRows - 1].number, 0);
  EXPECT_STREQ(SocketErrorTable[kSocketErrorRows - 1].message, "Unrecognized error code");
}

TEST(LookupErrorMessage, GivesNumberAndTextOrUnknownOrNothing) {
  TTcpSocket socket(nullptr);
  struct Case {
    std::uint16_t number;
    const char* text;
  };
  const Case cases[] = {{10061, "10061:Connection refused"},
                        {10035, "10035:Operation would block"},
                        {11004, "11004:Valid name, no data record of requested type"},
                        {10101, "Unknown Error No. 10101"},
                        {0, ""}};
  for (const Case& c : cases) {
    std::string text = "previous";
    socket.LookupErrorMessage(c.number, text);
    EXPECT_EQ(text, c.text);
  }
}

TEST(LookupErrorMessage, ReportsTheIncomingTextAtLevel8) {
  TTcpSocket socket(nullptr);
  socket.ReportLevel = 8;
  std::vector<std::string> seen;
  socket.OnStatus = [&](TComponent*, const std::string& s) { seen.push_back(s); };
  std::string text = "before";
  socket.LookupErrorMessage(10061, text);
  EXPECT_EQ(seen, (std::vector<std::string>{"Looking Up Error Messagebefore"}));
}

TEST(CheckSocketError, ToleratesTheExpectedNumberAndRaisesOthersAfterOnError) {
  TTcpSocket socket(nullptr);
  std::vector<std::pair<int, std::string>> errors;
  socket.OnError = [&](TComponent* sender, std::uint16_t number, const std::string& text) {
    EXPECT_EQ(sender, &socket);
    errors.emplace_back(number, text);
  };
  std::string text = "x";
  WSASetLastError(WSAEWOULDBLOCK);
  EXPECT_NO_THROW(socket.CheckSocketError(WSAEWOULDBLOCK, text));
  EXPECT_EQ(text, "");
  EXPECT_EQ(socket.LastErrorNo, WSAEWOULDBLOCK);
  EXPECT_TRUE(errors.empty());

  WSASetLastError(WSAETIMEDOUT);
  try {
    socket.CheckSocketError(WSAEWOULDBLOCK, text);
    FAIL();
  } catch (const ESockError& e) {
    EXPECT_EQ(e.Message(), "10060:Connection timed out");
  }
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].first, 10060);
  EXPECT_EQ(errors[0].second, "10060:Connection timed out");

  WSASetLastError(10101);
  EXPECT_THROW(socket.CheckSocketError(WSAEWOULDBLOCK, text), ESockError);
  EXPECT_EQ(text, "Unknown Error No. 10101");

  // Numbers of 10000 or less are not socket errors.
  WSASetLastError(5);
  EXPECT_NO_THROW(socket.CheckSocketError(WSAEWOULDBLOCK, text));
  WSASetLastError(0);
  EXPECT_NO_THROW(socket.CheckSocketError(WSAEWOULDBLOCK, text));
}

}  // namespace
