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

TEST(LookupErrorMessage, GivesEveryNumberItsExactTextOrUnknownOrNothing) {
  TTcpSocket socket(nullptr);
  struct Case {
    std::uint16_t number;
    const char* text;
  };
  const Case cases[] = {
      {10004, "10004:Interrupted system call"},
      {10009, "10009:Bad file number"},
      {10013, "10013:Permission denied"},
      {10014, "10014:Bad address"},
      {10022, "10022:Invalid argument"},
      {10024, "10024:Too many open files"},
      {10035, "10035:Operation would block"},
      {10036, "10036:Operation now in progress"},
      {10037, "10037:Operation already in progress"},
      {10038, "10038:Socket operation on non-socket"},
      {10039, "10039:Destination address required"},
      {10040, "10040:Message too long"},
      {10041, "10041:Wrong protocol type for socket"},
      {10042, "10042:Bad protocol option"},
      {10043, "10043:Protocol not supported"},
      {10044, "10044:Socket type not supported"},
      {10045, "10045:Operation not supported on socket"},
      {10046, "10046:Protocol family not supported"},
      {10047, "10047:Address family not supported by protocol family"},
      {10048, "10048:Address already in use"},
      {10049, "10049:Can't assign requested address"},
      {10050, "10050:Network is down"},
      {10051, "10051:Network is unreachable"},
      {10052, "10052:Network dropped connection or reset"},
      {10053, "10053:Software caused connection abort"},
      {10054, "10054:Connection reset by peer"},
      {10055, "10055:No buffer space available"},
      {10056, "10056:Socket is already connected"},
      {10057, "10057:Socket is not connected"},
      {10058, "10058:Can't send after socket shutdown"},
      {10059, "10059:Too many references, can't splice"},
      {10060, "10060:Connection timed out"},
      {10061, "10061:Connection refused"},
      {10062, "10062:Too many levels of symbolic links"},
      {10063, "10063:File name too long"},
      {10064, "10064:Host is down"},
      {10065, "10065:No route to Host"},
      {10066, "10066:Directory not empty"},
      {10067, "10067:Too many processes"},
      {10068, "10068:Too many users"},
      {10069, "10069:Disc quota exceeded"},
      {10070, "10070:Stale NFS file handle"},
      {10071, "10071:Too many levels of remote in path"},
      {10091, "10091:Network subsystem is unavailable"},
      {10092, "10092:Incompatible version of WINSOCK.DLL"},
      {10093, "10093:Successful WSAStartup not yet performed"},
      {11001, "11001:Host not found"},
      {11002, "11002:Non-Authoritative Host not found"},
      {11003, "11003:Non-Recoverable error: FORMERR, REFUSED, NOTIMP"},
      {11004, "11004:Valid name, no data record of requested type"},
      // Numbers without a row, next to rows and far from them.
      {10101, "Unknown Error No. 10101"},
      {10000, "Unknown Error No. 10000"},
      {10072, "Unknown Error No. 10072"},
      {11005, "Unknown Error No. 11005"},
      {65535, "Unknown Error No. 65535"},
      {0, ""},
  };
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
