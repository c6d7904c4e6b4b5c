#include "net/ftp/FtpClient.h"

#include <gtest/gtest.h>

namespace {

TEST(ExtractTransferSize, TakesTheDigitsNearestBeforeTheFirstByte) {
  struct Case {
    const char* line;
    std::int32_t size;
  };
  const Case cases[] = {
      {"150 Opening data connection for setup.exe (512 bytes)", 512},
      {"150 Opening BINARY mode data connection for x.bin (1048576 bytes).\r\n", 1048576},
      {"150 Opening data connection for x (1024 BYTES)", 1024},
      {"150 Here comes 77 Bytes", 77},
      {"150 Opening data connection.", 0},                               // no size
      {"150 Opening data connection for mybytes.dat (100 bytes)", 150},   // the file name holds "byte"
      {"150 Opening data connection for x (5 000 bytes)", 0},             // only the last group counts
      {"150 bytes follow", 150},
      {"bytes", 0},                                                       // no digit before it
      {"150 x (99999999999999999999 bytes)", 0},                          // 20 digits do not fit
      {"150 x (2147483647 bytes)", 2147483647},
      {"150 x (2147483648 bytes)", 0},
      {"150 x (-5 bytes)", 5},                                            // a sign is not a digit
      {"150 x (00000000000000000007 bytes)", 7},
  };
  for (const Case& c : cases) EXPECT_EQ(TFtpClient::ExtractTransferSize(c.line), c.size) << c.line;
  EXPECT_EQ(TFtpClient::ExtractTransferSize("150 (" + std::string(300, '9') + " bytes)"), 0);
}

// The size the completeness check trusts: only a "(N bytes)" that ends the
// reply, never digits inside a file or folder name.
TEST(AnnouncedTransferSize, IsTheCountOfAFinalNBytesAndNothingElse) {
  struct Case {
    const char* line;
    std::optional<std::int64_t> size;
  };
  const Case cases[] = {
      {"150 Opening BINARY mode data connection for /ByteSoft/Merindo/Versione.Txt (5 bytes).\r\n", 5},
      {"150 Opening data connection for mybytes.dat (100 bytes)", 100},
      {"150 Opening data connection for /v300/mybyte.dat (100 bytes).", 100},
      {"150 Opening data connection for x (1024 BYTES)  \r\n", 1024},
      {"150 Opening data connection for (7 bytes).txt (0 bytes).", 0},
      {"150 x (2147483647 bytes)", 2147483647},
      {"150 Opening data connection.", std::nullopt},
      {"150 Opening data connection for (5 bytes).txt", std::nullopt},   // the count is not at the end
      {"150 Here comes 77 Bytes", std::nullopt},                        // no parenthesis
      {"150 x (5 000 bytes)", std::nullopt},
      {"150 x (-5 bytes)", std::nullopt},
      {"150 x ( 5 bytes)", std::nullopt},
      {"150 x (5  bytes)", std::nullopt},
      {"150 x ( bytes)", std::nullopt},
      {"150 x (2147483648 bytes)", 2147483648},                          // past 32 bits
      {"150 x (999999999999999999 bytes)", 999999999999999999},
      {"150 x (1000000000000000000 bytes)", std::nullopt},              // more than 18 digits
      {"150 x (0000000000000000007 bytes)", std::nullopt},
      {"", std::nullopt},
      // A count anywhere but inside the parentheses announces nothing.
      {"150 Opening data connection for x 100 bytes)", std::nullopt},
      {"150 Opening data connection for mybytes.dat 100 bytes).", std::nullopt},
      {"150 Opening data connection for x (file100 bytes)", std::nullopt},
      {"150 Opening data connection for x (v2.100 bytes)", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(TFtpClient::AnnouncedTransferSize(c.line), c.size) << c.line;
  // The progress keeps the digits before the first "byte", as it always did.
  EXPECT_EQ(TFtpClient::ExtractTransferSize(cases[0].line), 150);
  EXPECT_EQ(TFtpClient::ExtractTransferSize(cases[2].line), 300);
}

// The completeness check counts in 64 bits: a file past 2 GiB, or past
// 4 GiB, where 32-bit counts turn negative or wrap, is checked like any
// other.
TEST(ReceivedWhole, ComparesTheCountsInSixtyFourBits) {
  EXPECT_TRUE(TFtpClient::ReceivedWhole(std::nullopt, 0));
  EXPECT_TRUE(TFtpClient::ReceivedWhole(2147483653, 2147483653));
  EXPECT_FALSE(TFtpClient::ReceivedWhole(2147483653, 2147483652));
  EXPECT_TRUE(TFtpClient::ReceivedWhole(4294967297, 4294967297));
  EXPECT_FALSE(TFtpClient::ReceivedWhole(4294967297, 1));
}

TEST(PassivePort, IsTheLastTwoFieldsOrAClearError) {
  struct Case {
    const char* reply;
    std::int32_t port;  // -1: EConvertError, -2: ERangeError
  };
  const Case cases[] = {
      {"227 Entering Passive Mode (127,0,0,1,19,137).", 5001},
      {"227 Entering Passive Mode (10,9,8,7,0,21)", 21},
      {"227 Entering Passive Mode (1,2,3,4,255,255)", 65535},
      {"227 Entering Passive Mode (1,2,3,4,$13,$89)", 5001},     // the strict conversion reads hexadecimal
      {"227 Entering Passive Mode (127,0,0,1,19,137", -1},       // no ")"
      {"227 Entering Passive Mode (127,0,0,1,a,137)", -1},
      {"227 (1,2)", -1},
      {"227 Entering Passive Mode (1,2,3,4,256,0)", -2},         // port 65,536
      {"227 Entering Passive Mode (1,2,3,4,0,-1)", -2},
      {"227 Entering Passive Mode (1,2,3,4,2147483647,2147483647)", -2},  // no overflow on the way
      {"227 Entering Passive Mode (1,2,3,4,-2147483648,0)", -2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    if (c.port == -1) EXPECT_THROW(TFtpClient::PassivePort(c.reply), EConvertError);
    else if (c.port == -2) EXPECT_THROW(TFtpClient::PassivePort(c.reply), ERangeError);
    else EXPECT_EQ(TFtpClient::PassivePort(c.reply), c.port);
  }
}

TEST(CommandType, ClassifiesByTheFirstWordCaseSensitively) {
  struct Case {
    const char* command;
    TCmdType kind;
  };
  const Case cases[] = {
      {"CWD /Cavenor.it", TCmdType::ctChangeDir}, {"CWD", TCmdType::ctChangeDir},
      {"cwd Merindo", TCmdType::ctCommand},       {"CWDX a", TCmdType::ctCommand},
      {"DELE file", TCmdType::ctDelete},          {"MKD d", TCmdType::ctMakeDir},
      {"RMD d", TCmdType::ctRemoveDir},           {"PWD", TCmdType::ctCurrentDir},
      {"PWD ", TCmdType::ctCommand},              {"TYPE L 8", TCmdType::ctCommand},
      {"", TCmdType::ctCommand},
  };
  for (const Case& c : cases) EXPECT_EQ(TFtpClient::CommandType(c.command), c.kind) << '"' << c.command << '"';
}

TEST(IsContinuationLine, FollowsTheReplyFormat) {
  EXPECT_TRUE(TFtpClient::IsContinuationLine("220-Welcome\r\n"));
  EXPECT_TRUE(TFtpClient::IsContinuationLine(" indented text\r\n"));
  EXPECT_TRUE(TFtpClient::IsContinuationLine(" "));
  EXPECT_FALSE(TFtpClient::IsContinuationLine("220 Ready\r\n"));
  EXPECT_FALSE(TFtpClient::IsContinuationLine("just text\r\n"));
  EXPECT_FALSE(TFtpClient::IsContinuationLine("22-"));  // shorter than four characters
  EXPECT_FALSE(TFtpClient::IsContinuationLine(""));     // the connection closed
}

}  // namespace
