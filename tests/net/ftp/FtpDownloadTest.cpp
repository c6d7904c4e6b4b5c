#include "tests/net/ftp/FtpTesting.h"

#include "classlib/Timer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using ftptesting::MessageOf;
using ftptesting::Recorder;
using testsupport::FtpServerOptions;
using testsupport::FtpServerProcess;
using Lines = std::vector<std::string>;

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 gen(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(gen() & 0xFF);
  return bytes;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// What the client showed during one download, seen from its progress event.
struct Progress {
  int packets = 0;
  std::int32_t lastRecvd = 0;
  bool grewEachTime = true;
  std::vector<std::int32_t> totals;  // BytesTotal seen by each packet
};

class FtpDownload : public ::testing::Test {
 protected:
  void Start(FtpServerOptions options) {
    server_ = std::make_unique<FtpServerProcess>(options);
    local_ = fs::temp_directory_path() /
             ("ftp-download-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(local_);
    fs::create_directories(local_);
    ftptesting::Wire(client_, *server_, r_);
    client_.OnPacketRecvd = [this](TObject* sender) {
      // The sender is the data connection; the counters are read from the client.
      EXPECT_EQ(sender, client_.DataConnection);
      ++progress_.packets;
      if (client_.BytesRecvd() <= progress_.lastRecvd) progress_.grewEachTime = false;
      progress_.lastRecvd = client_.BytesRecvd();
      progress_.totals.push_back(client_.BytesTotal);
    };
    client_.Connect();
    r_.events.clear();
  }
  void TearDown() override { fs::remove_all(local_); }

  std::string Local(const std::string& name) const { return (local_ / name).string(); }
  Lines SentAfterLogin(std::size_t count) { return ftptesting::CommandsAfterLogin(*server_, count); }

  std::unique_ptr<FtpServerProcess> server_;
  TFtpClient client_{nullptr};
  Recorder r_;
  Progress progress_;
  fs::path local_;
};

TEST_F(FtpDownload, ActiveModeIsByteExactWithTheEventsInOrderAndThePortOfTheControlConnection) {
  Start(FtpServerOptions::Scripted());
  const std::string content = RandomBytes(1 << 20, 1);
  server_->PutFile("big.bin", content);
  client_.SetTransferType(TypeLocal8);
  // Where the data connection listens, read from its socket when the PORT
  // reply comes.
  std::string listening;
  client_.OnStatus = [&](TComponent*, const std::string& s) {
    r_.status.push_back(s);
    if (client_.DataConnection && listening.empty()) listening = client_.DataConnection->GetLocalAddress();
  };
  client_.Download("big.bin", Local("big.bin"));
  EXPECT_EQ(listening, "127.0.0.1");  // the control connection's local end, not every interface
  EXPECT_EQ(ReadFile(local_ / "big.bin"), content);
  EXPECT_EQ(r_.events, (Lines{"Success Command", "TransactionStart", "TransactionStop", "TransactionStop",
                              "Success Download"}));
  EXPECT_GE(progress_.packets, 1);
  EXPECT_TRUE(progress_.grewEachTime);
  EXPECT_EQ(progress_.lastRecvd, 1 << 20);
  for (std::int32_t total : progress_.totals) EXPECT_EQ(total, 1 << 20);  // the announced size
  EXPECT_EQ(client_.BytesTotal, 1 << 20);
  EXPECT_EQ(client_.BytesRecvd(), 1 << 20);
  EXPECT_EQ(client_.DataConnection, nullptr);
  const Lines sent = SentAfterLogin(3);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0], "TYPE L 8");
  // PORT carries the control connection's local address, not 0.0.0.0, and
  // the port the data connection listened on.
  EXPECT_EQ(sent[1].rfind("PORT 127,0,0,1,", 0), 0u) << sent[1];
  EXPECT_EQ(ExtractField(sent[1], ',', 6).empty(), false);
  EXPECT_EQ(sent[2], "RETR big.bin");
  EXPECT_TRUE(r_.StatusContains("RETR big.bin"));
  EXPECT_TRUE(r_.StatusContains("Received 1048576 Bytes"));
  EXPECT_TRUE(r_.StatusContains("226 Transfer complete.\r\n"));
}

TEST_F(FtpDownload, PassiveModeConnectsToHostWhateverAddressTheReplyNames) {
  Start(FtpServerOptions::Scripted(R"([{"on": "PASV", "pasv_address": "10.9.8.7"}])"));
  const std::string content = RandomBytes(300000, 2);
  server_->PutFile("Merindo/Quillane.Exe", content);
  client_.Passive = true;
  client_.Download("Merindo/Quillane.Exe", Local("Quillane.Exe"));
  EXPECT_EQ(ReadFile(local_ / "Quillane.Exe"), content);
  EXPECT_EQ(SentAfterLogin(2), (Lines{"PASV", "RETR Merindo/Quillane.Exe"}));
  EXPECT_EQ(r_.Count("Success Download"), 1);
}

TEST_F(FtpDownload, WithoutAnnouncedSizeBytesTotalStaysZeroUntilTheEnd) {
  Start(FtpServerOptions::Scripted(R"([{"on": "RETR", "preliminary": "150 Opening data connection."}])"));
  server_->PutFile("v.txt", std::string(200000, 'v'));
  client_.Download("v.txt", Local("v.txt"));
  ASSERT_FALSE(progress_.totals.empty());
  for (std::int32_t total : progress_.totals) EXPECT_EQ(total, 0);
  EXPECT_EQ(client_.BytesTotal, 200000);
}

TEST_F(FtpDownload, ARefusedRetrRaisesWithItsLineAndLeavesNoFile) {
  Start(FtpServerOptions::Scripted(R"([{"on": "RETR", "reply": "550 No such file."}])"));
  EXPECT_EQ(MessageOf<FTPException>([&] { client_.Download("missing.bin", Local("missing.bin")); }),
            "550 No such file.\r\n");
  EXPECT_FALSE(fs::exists(local_ / "missing.bin"));
  EXPECT_EQ(r_.Count("TransactionStart"), 0);
  EXPECT_EQ(client_.DataConnection, nullptr);
  EXPECT_TRUE(client_.Connected);
}

TEST_F(FtpDownload, AnEmptyFileStillFiresEveryEventAndIsCreated) {
  Start(FtpServerOptions::Scripted());
  server_->PutFile("empty.txt", "");
  { std::ofstream(local_ / "empty.txt") << "old content"; }
  client_.Download("empty.txt", Local("empty.txt"));
  EXPECT_TRUE(fs::exists(local_ / "empty.txt"));
  EXPECT_EQ(fs::file_size(local_ / "empty.txt"), 0u);
  EXPECT_EQ(r_.events, (Lines{"TransactionStart", "TransactionStop", "TransactionStop", "Success Download"}));
  EXPECT_TRUE(r_.StatusContains("Received 0 Bytes"));
}

TEST_F(FtpDownload, AnEmptyLocalNameWritesUnderTheRemoteName) {
  Start(FtpServerOptions::Scripted());
  server_->PutFile("same-name.bin", "abc");
  const fs::path saved = fs::current_path();
  fs::current_path(local_);
  client_.Download("same-name.bin", "");
  fs::current_path(saved);
  EXPECT_EQ(ReadFile(local_ / "same-name.bin"), "abc");
}

TEST_F(FtpDownload, AHandledReplyFailureReturnsNormallyWithoutSuccess) {
  Start(FtpServerOptions::Scripted(R"([{"on": "PORT", "reply": "500 PORT not allowed"}])"));
  int asked = 0;
  client_.OnFailure = [&](bool& handled, TCmdType kind) {
    EXPECT_EQ(kind, TCmdType::ctDownload);
    ++asked;
    handled = true;
  };
  client_.Download("x", Local("x"));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(r_.Count("Success Download"), 0);
  EXPECT_EQ(client_.DataConnection, nullptr);
}

TEST_F(FtpDownload, AnUnhandledReplyFailureAsksTheHandlerTwiceThenRaises) {
  Start(FtpServerOptions::Scripted(R"([{"on": "PASV", "reply": "500 No passive mode"}])"));
  client_.Passive = true;
  int asked = 0;
  client_.OnFailure = [&](bool&, TCmdType) { ++asked; };
  EXPECT_EQ(MessageOf<FTPException>([&] { client_.Download("x", Local("x")); }), "500 No passive mode\r\n");
  EXPECT_EQ(asked, 2);
}

TEST_F(FtpDownload, APasvReplyWithoutPortFieldsRaisesTheConversionError) {
  Start(FtpServerOptions::Scripted(R"([{"on": "PASV", "reply": "227 Entering Passive Mode (127,0,0,1,19,137"}])"));
  client_.Passive = true;
  EXPECT_EQ(MessageOf<EConvertError>([&] { client_.Download("x", Local("x")); }),
            "'' is not a valid integer value");
  EXPECT_EQ(client_.DataConnection, nullptr);
}

// A download whose transfer the server did not complete must not pass for a
// whole file.
TEST_F(FtpDownload, AnAbortedTransferFailsWithThe426Line) {
  Start(FtpServerOptions::Scripted(R"([{"on": "RETR", "final": "426 Connection closed; transfer aborted."}])"));
  server_->PutFile("p.exe", RandomBytes(100000, 3));
  EXPECT_EQ(MessageOf<FTPException>([&] { client_.Download("p.exe", Local("p.exe")); }),
            "426 Connection closed; transfer aborted.\r\n");
  EXPECT_EQ(r_.Count("Success Download"), 0);
  EXPECT_EQ(r_.Count("TransactionStop"), 1);
}

TEST_F(FtpDownload, ADataConnectionDroppedHalfWayFailsAgainstTheAnnouncedSize) {
  Start(FtpServerOptions::Scripted(R"([{"on": "RETR", "drop_after": 50000}])"));
  server_->PutFile("p.exe", RandomBytes(400000, 4));
  const std::string message = MessageOf<FTPException>([&] { client_.Download("p.exe", Local("p.exe")); });
  EXPECT_NE(message.find("incomplete"), std::string::npos) << message;
  EXPECT_EQ(client_.BytesTotal, 50000);
}

// The completeness check at its boundary: one byte short of the announced
// count fails, exactly the count (or more) passes; a count past 32 bits is
// checked too.
TEST_F(FtpDownload, TheAnnouncedCountIsTheExactBoundaryOfACompleteTransfer) {
  Start(FtpServerOptions::Scripted(R"([
      {"on": "RETR", "arg": "short.bin", "drop_after": 9999},
      {"on": "RETR", "arg": "exact.bin", "preliminary": "150 Opening data connection for exact.bin (10000 bytes)."},
      {"on": "RETR", "arg": "more.bin", "preliminary": "150 Opening data connection for more.bin (9999 bytes)."},
      {"on": "RETR", "arg": "huge.bin", "preliminary": "150 Opening data connection for {name} (4294967396 bytes)."}])"));
  const std::string content = RandomBytes(10000, 11);
  for (const char* name : {"short.bin", "exact.bin", "more.bin", "huge.bin"}) server_->PutFile(name, content);
  EXPECT_EQ(MessageOf<FTPException>([&] { client_.Download("short.bin", Local("short.bin")); }),
            "Transfer of short.bin incomplete: 9999 of 10000 bytes received");
  client_.Download("exact.bin", Local("exact.bin"));
  EXPECT_EQ(ReadFile(local_ / "exact.bin"), content);
  client_.Download("more.bin", Local("more.bin"));
  EXPECT_EQ(ReadFile(local_ / "more.bin"), content);
  EXPECT_EQ(r_.Count("Success Download"), 2);
  EXPECT_EQ(MessageOf<FTPException>([&] { client_.Download("huge.bin", Local("huge.bin")); }),
            "Transfer of huge.bin incomplete: 10000 of 4294967396 bytes received");
  EXPECT_EQ(client_.BytesTotal, 10000);
}

TEST_F(FtpDownload, TheControlConnectionClosedBeforeTheEndReplyFails) {
  Start(FtpServerOptions::Scripted(R"([{"on": "RETR", "control_close_after": 20000}])"));
  server_->PutFile("p.exe", RandomBytes(300000, 5));
  const std::string message = MessageOf<FTPException>([&] { client_.Download("p.exe", Local("p.exe")); });
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(client_.DataConnection, nullptr);
}

// A server that hangs up instead of answering RETR, or after its 150 reply,
// before it opened the data connection, will send nothing more: the download
// fails at once rather than waiting for a connection that cannot come.
TEST_F(FtpDownload, AServerThatHangsUpBeforeTheDataConnectionFailsTheDownload) {
  const char* const cases[] = {
      R"([{"on": "PORT", "data": "never"}, {"on": "RETR", "reply": [], "close": true}])",
      R"([{"on": "PORT", "data": "never"},
          {"on": "RETR", "reply": "150 Opening BINARY mode data connection for p.exe (5 bytes).", "close": true}])",
  };
  for (const char* rules : cases) {
    SCOPED_TRACE(rules);
    Start(FtpServerOptions::Scripted(rules));
    server_->PutFile("p.exe", "12345");
    // The escape should the wait never end: the data connection is cancelled.
    TTimer escape(nullptr);
    escape.SetInterval(20000);
    escape.SetOnTimer([this](TObject*) { client_.Abort(); });
    EXPECT_EQ(MessageOf<FTPException>([&] { client_.Download("p.exe", Local("p.exe")); }),
              "Connection closed before the transfer of p.exe");
    EXPECT_EQ(r_.Count("TransactionStart"), 0);
    EXPECT_EQ(client_.DataConnection, nullptr);
    EXPECT_FALSE(fs::exists(local_ / "p.exe"));
    client_.Disconnect();
  }
}

TEST_F(FtpDownload, FewerBytesThanASizeNeverAnnouncedStillSucceed) {
  Start(FtpServerOptions::Scripted(
      R"([{"on": "RETR", "preliminary": "150 Opening data connection.", "drop_after": 1000}])"));
  server_->PutFile("p.exe", RandomBytes(5000, 6));
  client_.Download("p.exe", Local("p.exe"));
  EXPECT_EQ(fs::file_size(local_ / "p.exe"), 1000u);
  EXPECT_EQ(r_.Count("Success Download"), 1);
}

TEST_F(FtpDownload, AbortDuringTheCaptureCancelsOnlyTheDataConnection) {
  Start(FtpServerOptions::Scripted());
  server_->PutFile("big.bin", RandomBytes(4 << 20, 7));
  client_.OnPacketRecvd = [this](TObject*) { client_.Abort(); };
  EXPECT_EQ(MessageOf<EAbortError>([&] { client_.Download("big.bin", Local("big.bin")); }), "Socket send aborted");
  EXPECT_EQ(client_.DataConnection, nullptr);
  EXPECT_TRUE(client_.Connected);
  // No ABOR for a cancel of the data connection.
  for (const std::string& c : server_->Commands()) EXPECT_NE(c, "ABOR");
}

// "byte" inside a folder or file name is no size: a complete file that the
// server announced as "(N bytes)" is never judged short, while BytesTotal
// during the transfer keeps the digits before the first "byte".
TEST_F(FtpDownload, AByteInAFolderOrFileNameNeverMakesACompleteFileShort) {
  Start(FtpServerOptions::Scripted());
  const struct {
    const char* remote;
    std::size_t size;
    std::int32_t totalDuringTransfer;
  } cases[] = {
      {"/ByteSoft/Merindo/Versione.Txt", 5, 150},
      {"mybytes.dat", 100, 150},
      {"/v300/mybyte.dat", 100, 300},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.remote);
    server_->PutFile(std::string(c.remote).substr(c.remote[0] == '/' ? 1 : 0), std::string(c.size, 'b'));
    progress_.totals.clear();
    client_.Download(c.remote, Local("file"));
    EXPECT_EQ(fs::file_size(local_ / "file"), c.size);
    EXPECT_EQ(progress_.totals, std::vector<std::int32_t>{c.totalDuringTransfer});
    EXPECT_EQ(client_.BytesTotal, static_cast<std::int32_t>(c.size));
  }
  EXPECT_EQ(r_.Count("Success Download"), 3);
}

// The size comes from the last line of a multi-line RETR reply, whatever an
// earlier line counted, and the continuation lines are read before the data:
// the end-of-transfer reply is the line after the data, not the rest of the
// 150 reply.
TEST_F(FtpDownload, AMultiLine150ReplyIsReadWholeAndItsLastLineGivesTheSize) {
  Start(FtpServerOptions::Scripted(
      R"([{"on": "RETR", "preliminary": ["150-The first 4096 bytes are checked on the way,",
                                        "150 Opening data connection for {name} ({size} bytes)."]}])"));
  const std::string content = RandomBytes(300000, 10);
  server_->PutFile("p.exe", content);
  client_.Download("p.exe", Local("p.exe"));
  EXPECT_EQ(ReadFile(local_ / "p.exe"), content);
  ASSERT_FALSE(progress_.totals.empty());
  for (std::int32_t total : progress_.totals) EXPECT_EQ(total, 300000);
  EXPECT_TRUE(r_.StatusContains("150 Opening data connection for p.exe (300000 bytes).\r\n"));
  EXPECT_EQ(r_.events, (Lines{"TransactionStart", "TransactionStop", "TransactionStop", "Success Download"}));
}

// The socket layer's Cancel on the control connection while the capture runs:
// the capture goes on to the end, the end reply is not read, ABOR is sent and
// the download counts as a success.
TEST_F(FtpDownload, ACancelOfTheControlConnectionDuringTheCaptureSendsAborAndSucceeds) {
  Start(FtpServerOptions::Scripted());
  const std::string content = RandomBytes(1 << 20, 11);
  server_->PutFile("big.bin", content);
  client_.OnPacketRecvd = [this](TObject*) {
    if (progress_.packets++ == 0) client_.Cancel();
  };
  client_.Download("big.bin", Local("big.bin"));
  EXPECT_EQ(ReadFile(local_ / "big.bin"), content);
  EXPECT_EQ(r_.events, (Lines{"TransactionStart", "TransactionStop", "TransactionStop", "Success Download"}));
  EXPECT_FALSE(client_.Canceled);
  const Lines sent = SentAfterLogin(3);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[1], "RETR big.bin");
  EXPECT_EQ(sent[2], "ABOR");
}

// Only a positive completion (2xx) after the data ends a download well.
TEST_F(FtpDownload, TheEndOfTransferReplyDecidesAtItsBoundaries) {
  const struct {
    const char* final;
    bool succeeds;
  } cases[] = {
      {"200 Done.", true},
      {"226 Transfer complete.", true},
      {"250 Requested file action okay.", true},
      {"299 Last of the positive completions.", true},
      {"199 Not finished.", false},
      {"125 Data connection already open.", false},
      {"300 Intermediate.", false},
      {"350 Pending further information.", false},
      {"426 Connection closed; transfer aborted.", false},
      {"451 Local error.", false},
      {"500 Error.", false},
      {"550 Failed.", false},
      {"Transfer complete.", false},  // no digits
  };
  std::string rules = "[";
  for (std::size_t i = 0; i < std::size(cases); ++i)
    rules += R"({"on": "RETR", "arg": "f)" + std::to_string(i) + R"(", "final": ")" + cases[i].final + R"("}, )";
  // Last: the server closes the control connection after the data instead
  // of replying.
  rules += R"({"on": "RETR", "arg": "closed", "final": [], "close": true}])";
  Start(FtpServerOptions::Scripted(rules));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].final);
    const std::string name = "f" + std::to_string(i);
    server_->PutFile(name, "12345");
    r_.events.clear();
    bool failed = false;
    try {
      client_.Download(name, Local("f"));
    } catch (const FTPException& e) {
      failed = true;
      EXPECT_EQ(e.Message(), std::string(cases[i].final) + "\r\n");
    }
    EXPECT_EQ(!failed, cases[i].succeeds);
    EXPECT_EQ(r_.Count("Success Download"), cases[i].succeeds ? 1 : 0);
  }
  server_->PutFile("closed", "12345");
  EXPECT_EQ(MessageOf<FTPException>([&] { client_.Download("closed", Local("f")); }),
            "Connection closed before the end of the transfer of closed");
  EXPECT_EQ(r_.Count("Success Download"), 0);
}

// Each wait of a download, with TimeOut set, ends when nothing arrives for
// that long: the RETR reply, the server's data connection, a pause in the
// transfer, the end reply. Should a wait not end, the escape cancels it after
// 10 s and the test fails.
TEST_F(FtpDownload, EveryWaitOfADownloadEndsWhenNothingArrivesForTheTimeOut) {
  const fs::path gate = fs::temp_directory_path() / ("ftp-never-" + std::to_string(::getpid()));
  const struct {
    std::string rules;
    const char* raised;
  } cases[] = {
      {R"([{"on": "RETR", "mute": true}])", "Socket readln aborted"},
      {R"([{"on": "PORT", "data": "never"}])", "Accepting Canceled"},
      {R"([{"on": "RETR", "hold_after": 100000, "hold_until": ")" + testsupport::ServerPath(gate.string()) + R"("}])", "Socket send aborted"},
      {R"([{"on": "RETR", "final": []}])", "Socket readln aborted"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rules);
    Start(FtpServerOptions::Scripted(c.rules));
    server_->PutFile("p.exe", RandomBytes(300000, 12));
    client_.TimeOut = 300;
    const ftptesting::Escape escape(client_);
    std::string raised;
    try {
      client_.Download("p.exe", Local("p.exe"));
    } catch (const ESockError& e) {
      raised = e.Message();
    }
    EXPECT_EQ(raised, c.raised);
    EXPECT_FALSE(escape.Fired());
    EXPECT_EQ(client_.DataConnection, nullptr);
    EXPECT_EQ(r_.Count("Success Download"), 0);
    client_.TTcpSocket::Disconnect();  // no QUIT to a server that holds back its replies
    server_.reset();
  }
}

TEST(FtpDownloadVsftpd, BothModesAreByteExact) {
  FtpServerProcess server(FtpServerOptions::Vsftpd());
  const std::string content = RandomBytes(700000, 8);
  server.PutFile("Merindo/ntwdblib.dll", content);
  const fs::path local = fs::temp_directory_path() / ("ftp-vsftpd-" + std::to_string(::getpid()));
  fs::create_directories(local);
  for (bool passive : {false, true}) {
    TFtpClient client(nullptr);
    Recorder r;
    ftptesting::Wire(client, server, r);
    client.UserID = "anonymous";
    client.Password = "";
    client.Passive = passive;
    client.Connect();
    client.ChangeDirectory("Merindo");
    client.SetTransferType(TypeImage);
    client.Download("ntwdblib.dll", (local / "ntwdblib.dll").string());
    EXPECT_EQ(ReadFile(local / "ntwdblib.dll"), content) << (passive ? "passive" : "active");
    EXPECT_EQ(client.BytesTotal, 700000);
    EXPECT_EQ(r.Count("Success Download"), 1);
    fs::remove(local / "ntwdblib.dll");
    client.Disconnect();
  }
  fs::remove_all(local);
}

}  // namespace
