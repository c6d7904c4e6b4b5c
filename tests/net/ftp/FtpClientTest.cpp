#include "tests/net/ftp/FtpTesting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using ftptesting::MessageOf;
using ftptesting::Recorder;
using testsupport::FtpServerOptions;
using testsupport::FtpServerProcess;
using Lines = std::vector<std::string>;

// ---------------------------------------------------------------- login

TEST(FtpLogin, AMultiLineGreetingIsReadWholeBeforeUserAndEachLineIsReported) {
  FtpServerProcess server(FtpServerOptions::Scripted(
      R"([{"on": "greeting", "reply": ["220-Welcome", "220-to the test server", "220 Ready"]}])"));
  TFtpClient client(nullptr);
  Recorder r;
  ftptesting::Wire(client, server, r);
  client.Connect();
  EXPECT_TRUE(client.Connected);
  EXPECT_EQ(r.events, (Lines{"Connect"}));
  EXPECT_EQ(server.WaitForCommands(2), (Lines{"USER test", "PASS secret"}));
  ASSERT_GE(r.status.size(), 4u);
  EXPECT_EQ(r.status[0], "220-Welcome\r\n");
  EXPECT_EQ(r.status[1], "220-to the test server\r\n");
  EXPECT_EQ(r.status[2], "220 Ready\r\n");
  EXPECT_EQ(r.status[3], "USER test");
  EXPECT_TRUE(r.StatusContains("PASS "));  // the password itself is never reported
  for (const std::string& s : r.status) EXPECT_EQ(s.find("secret"), std::string::npos) << s;
}

TEST(FtpLogin, ALineThatIsNoContinuationEndsTheReplyEarly) {
  // The rest of the greeting is then taken for the reply to USER: 220, so no
  // PASS is sent and the login counts as done.
  FtpServerProcess server(
      FtpServerOptions::Scripted(R"([{"on": "greeting", "raw": "230-a\r\njust text\r\n220 b\r\n"}])"));
  TFtpClient client(nullptr);
  Recorder r;
  ftptesting::Wire(client, server, r);
  client.Connect();
  EXPECT_EQ(r.events, (Lines{"Connect"}));
  EXPECT_EQ(client.TransactionReply, "220 b\r\n");
  EXPECT_EQ(server.WaitForCommands(1), (Lines{"USER test"}));
}

TEST(FtpLogin, A421GreetingRaisesWithItsLineAndFiresConnectionFailed) {
  FtpServerProcess server(
      FtpServerOptions::Scripted(R"([{"on": "greeting", "reply": "421 Too many users, try later"}])"));
  TFtpClient client(nullptr);
  Recorder r;
  ftptesting::Wire(client, server, r);
  EXPECT_EQ(MessageOf<FTPException>([&] { client.Connect(); }), "421 Too many users, try later\r\n");
  EXPECT_EQ(r.Count("ConnectionFailed"), 1);
  EXPECT_EQ(r.Count("Connect"), 0);
  EXPECT_TRUE(r.StatusContains("Disconnected"));
  EXPECT_FALSE(client.Connected);
}

TEST(FtpLogin, UserAnswered230LogsInWithoutPass) {
  FtpServerProcess server(FtpServerOptions::Scripted(R"([{"on": "USER", "reply": "230 Logged in"}])"));
  TFtpClient client(nullptr);
  Recorder r;
  ftptesting::Wire(client, server, r);
  client.Connect();
  EXPECT_EQ(r.events, (Lines{"Connect"}));
  client.ExecuteCommand("NOOP");
  EXPECT_EQ(server.WaitForCommands(2), (Lines{"USER test", "NOOP"}));
}

TEST(FtpLogin, PassAnswered530RaisesWithThatLineAfterQuitAndDisconnected) {
  FtpServerProcess server(FtpServerOptions::Scripted(R"([{"on": "PASS", "reply": "530 Login incorrect."}])"));
  TFtpClient client(nullptr);
  Recorder r;
  ftptesting::Wire(client, server, r);
  EXPECT_EQ(MessageOf<FTPException>([&] { client.Connect(); }), "530 Login incorrect.\r\n");
  EXPECT_EQ(server.WaitForCommands(3), (Lines{"USER test", "PASS secret", "QUIT"}));
  EXPECT_EQ(r.events, (Lines{"ConnectionFailed", "Disconnect"}));
  ASSERT_FALSE(r.status.empty());
  EXPECT_EQ(r.status.back(), "Disconnected");
  EXPECT_FALSE(client.Connected);
}

TEST(FtpLogin, LoginFailsOnlyAbove400) {
  FtpServerProcess server(FtpServerOptions::Scripted(R"([{"on": "USER", "reply": "400 Odd but not a refusal"}])"));
  TFtpClient client(nullptr);
  Recorder r;
  ftptesting::Wire(client, server, r);
  client.Connect();  // 400 is neither a refusal nor 331: logged in without PASS
  EXPECT_EQ(r.events, (Lines{"Connect"}));
  EXPECT_EQ(server.WaitForCommands(1), (Lines{"USER test"}));
}

struct FirewallCase {
  TFirewallType type;
  Lines commands;
};

class FtpFirewallLogin : public ::testing::TestWithParam<FirewallCase> {};

TEST_P(FtpFirewallLogin, SendsExactlyItsCommandsInOrder) {
  // USER is answered 331 whatever the name, PASS 230; SITE and OPEN are
  // refused, which the login ignores.
  FtpServerProcess server(FtpServerOptions::Scripted(R"([
      {"on": "USER", "reply": "331 Password required"},
      {"on": "PASS", "reply": "230 Logged in"},
      {"on": "SITE", "reply": "530 Not allowed"},
      {"on": "OPEN", "reply": "502 Not implemented"}])"));
  TFtpClient client(nullptr);
  Recorder r;
  ftptesting::Wire(client, server, r);
  client.Host = "ftp.example.invalid";  // never resolved: the proxy is
  client.Port = 1;
  client.Proxy = server.Host();
  client.ProxyPort = server.Port();
  client.FirewallType = GetParam().type;
  client.Connect();
  EXPECT_EQ(r.events, (Lines{"Connect"}));
  EXPECT_EQ(server.WaitForCommands(GetParam().commands.size()), GetParam().commands);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, FtpFirewallLogin,
    ::testing::Values(
        FirewallCase{TFirewallType::FTUser, {"USER test@ftp.example.invalid", "PASS secret"}},
        FirewallCase{TFirewallType::FtOpen, {"OPEN ftp.example.invalid", "USER test", "PASS secret"}},
        FirewallCase{TFirewallType::FtSite, {"SITE ftp.example.invalid", "USER test", "PASS secret"}}),
    [](const ::testing::TestParamInfo<FirewallCase>& variant) {
      switch (variant.param.type) {
        case TFirewallType::FTUser: return "FTUser";
        case TFirewallType::FtOpen: return "FtOpen";
        case TFirewallType::FtSite: return "FtSite";
      }
      return "Unknown";
    });

TEST(FtpLogin, WithoutProxyTheFirewallTypeHasNoEffectButFirewallAuthenticationRunsFirst) {
  FtpServerProcess server(FtpServerOptions::Scripted(R"([
      {"on": "USER", "arg": "fw", "reply": "331 Firewall password"},
      {"on": "PASS", "arg": "fwpass", "reply": "230 Through the firewall"}])"));
  TFtpClient client(nullptr);
  Recorder r;
  ftptesting::Wire(client, server, r);
  client.FirewallType = TFirewallType::FtSite;
  client.FWAuthenticate = true;
  client.FWUserID = "fw";
  client.FWPassword = "fwpass";
  client.Connect();
  EXPECT_EQ(server.WaitForCommands(4), (Lines{"USER fw", "PASS fwpass", "USER test", "PASS secret"}));
}

TEST(FtpLogin, AnExceptionFromTheConnectHandlerClosesTheConnectionAndReachesTheCaller) {
  FtpServerProcess server;
  TFtpClient client(nullptr);
  Recorder r;
  ftptesting::Wire(client, server, r);
  client.OnConnect = [](TObject*) { throw Exception("handler failed"); };
  EXPECT_EQ(MessageOf<Exception>([&] { client.Connect(); }), "handler failed");
  EXPECT_FALSE(client.Connected);
  EXPECT_EQ(server.WaitForCommands(3), (Lines{"USER test", "PASS secret", "QUIT"}));
  EXPECT_EQ(r.status.back(), "Disconnected");
}

TEST(FtpLogin, AuthenticationNeededMayFillInTheMissingPassword) {
  FtpServerProcess server;
  TFtpClient client(nullptr);
  Recorder r;
  ftptesting::Wire(client, server, r);
  client.Password.clear();
  int asked = 0;
  client.OnAuthenticationNeeded = [&](bool&) {
    ++asked;
    client.Password = "secret";
  };
  client.Connect();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(r.events, (Lines{"Connect"}));
}

TEST(FtpLogin, ConnectWhileConnectedDoesNothingAndDisconnectSendsQuit) {
  FtpServerProcess server;
  TFtpClient client(nullptr);
  Recorder r;
  ftptesting::Wire(client, server, r);
  client.Connect();
  client.Connect();
  EXPECT_EQ(r.Count("Connect"), 1);
  client.Vendor = 7;
  client.Disconnect();
  EXPECT_EQ(client.Vendor, 2411);
  EXPECT_FALSE(client.Connected);
  EXPECT_EQ(server.WaitForCommands(3), (Lines{"USER test", "PASS secret", "QUIT"}));
  EXPECT_EQ(r.events, (Lines{"Connect", "Disconnect"}));
  // Not connected: nothing is sent and no event fires.
  client.Disconnect();
  EXPECT_EQ(r.events, (Lines{"Connect", "Disconnect"}));
  // The same component logs in again.
  client.Connect();
  EXPECT_TRUE(client.Connected);
}

TEST(FtpLogin, QuitRefusedRaisesAfterTheConnectionClosed) {
  FtpServerProcess server(FtpServerOptions::Scripted(R"([{"on": "QUIT", "reply": "500 No way"}])"));
  TFtpClient client(nullptr);
  Recorder r;
  ftptesting::Wire(client, server, r);
  client.Connect();
  EXPECT_EQ(MessageOf<FTPException>([&] { client.Disconnect(); }), "500 No way\r\n");
  EXPECT_FALSE(client.Connected);
  EXPECT_EQ(r.Count("Disconnect"), 1);
}

// A server that stops answering: the time-out ends the wait for the greeting
// or a reply on the control connection (the client's Abort alone cancels only
// a data connection), and a login that timed out sends no QUIT to wait for.
// Should a wait not end, the escape cancels it after 10 s and the test fails.
TEST(FtpLogin, ASilentServerEndsTheWaitForAReplyByTheTimeOutWithoutQuit) {
  const struct {
    const char* rules;
    Lines sent;
  } cases[] = {
      {R"([{"on": "greeting", "mute": true}])", {}},
      {R"([{"on": "PASS", "mute": true}])", {"USER test", "PASS secret"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rules);
    FtpServerProcess server(FtpServerOptions::Scripted(c.rules));
    TFtpClient client(nullptr);
    Recorder r;
    ftptesting::Wire(client, server, r);
    client.TimeOut = 300;
    const ftptesting::Escape escape(client);
    EXPECT_EQ(MessageOf<EAbortError>([&] { client.Connect(); }), "Socket readln aborted");
    EXPECT_FALSE(escape.Fired());
    EXPECT_TRUE(client.TimedOut);
    EXPECT_FALSE(client.Connected);
    EXPECT_EQ(r.status.back(), "Disconnected");
    // A QUIT would have arrived while its reply was awaited.
    EXPECT_EQ(server.Commands(), c.sent);
  }
}

TEST(FtpLogin, NoServerListeningFailsWithTheSocketError) {
  int port;
  {
    FtpServerProcess gone;
    port = gone.Port();
  }
  TFtpClient client(nullptr);
  client.Host = "127.0.0.1";
  client.Port = port;
  client.TimeOut = 20000;
  std::vector<std::string> status;
  client.ReportLevel = 1;
  client.OnStatus = [&](TComponent*, const std::string& s) { status.push_back(s); };
  EXPECT_EQ(MessageOf<ESockError>([&] { client.Connect(); }), "Connection Failed");
  EXPECT_TRUE(status.empty());  // no QUIT, no "Disconnected"
}

// ---------------------------------------------------------------- commands

class FtpCommands : public ::testing::Test {
 protected:
  void Start(const std::string& rules) {
    server_ = std::make_unique<FtpServerProcess>(FtpServerOptions::Scripted(rules));
    ftptesting::Wire(client_, *server_, r_);
    client_.Connect();
    r_.events.clear();
  }
  Lines Sent(std::size_t count) { return ftptesting::CommandsAfterLogin(*server_, count); }

  std::unique_ptr<FtpServerProcess> server_;
  TFtpClient client_{nullptr};
  Recorder r_;
};

TEST_F(FtpCommands, ChangeDirectorySendsCwdUnchangedAndFiresSuccess) {
  Start("[]");
  server_->PutFile("Cavenor.it/Merindo/x", "x");
  client_.ChangeDirectory("/Cavenor.it");
  client_.ChangeDirectory("Merindo");
  EXPECT_EQ(Sent(2), (Lines{"CWD /Cavenor.it", "CWD Merindo"}));
  EXPECT_EQ(r_.events, (Lines{"Success ChangeDir", "Success ChangeDir"}));
  EXPECT_EQ(client_.ReplyNumber, 250);
}

TEST_F(FtpCommands, ARefusedCwdRaisesWithTheReplyLineAndFiresNoSuccess) {
  Start(R"([{"on": "CWD", "reply": "550 No such directory"}])");
  EXPECT_EQ(MessageOf<FTPException>([&] { client_.ChangeDirectory("Missing"); }), "550 No such directory\r\n");
  EXPECT_TRUE(r_.events.empty());
  EXPECT_TRUE(client_.Connected);  // a failed command keeps the connection
}

TEST_F(FtpCommands, FourHundredFailsHere) {
  Start(R"([{"on": "NOOP", "reply": "400 Exactly four hundred"}])");
  EXPECT_EQ(MessageOf<FTPException>([&] { client_.ExecuteCommand("NOOP"); }), "400 Exactly four hundred\r\n");
}

TEST_F(FtpCommands, UnsupportedFiresBeforeFailureAndHandledReturnsNormally) {
  Start(R"([{"on": "MKD", "reply": "502 Not implemented"}, {"on": "DELE", "reply": "503 Bad sequence"}])");
  client_.OnFailure = [&](bool& handled, TCmdType kind) {
    r_.events.push_back(std::string("Failure ") + ftptesting::KindName(kind));
    handled = true;
  };
  client_.ExecuteCommand("MKD new");  // no exception: handled
  client_.ExecuteCommand("DELE old");
  EXPECT_EQ(r_.events, (Lines{"UnSupported MakeDir", "Failure MakeDir", "Failure Delete"}));
}

TEST_F(FtpCommands, AFailureLeftUnhandledStillRaises) {
  Start(R"([{"on": "RMD", "reply": "550 Not empty"}])");
  int asked = 0;
  client_.OnFailure = [&](bool&, TCmdType) { ++asked; };
  EXPECT_EQ(MessageOf<FTPException>([&] { client_.ExecuteCommand("RMD full"); }), "550 Not empty\r\n");
  EXPECT_EQ(asked, 1);
}

TEST_F(FtpCommands, AStrayReplyLineIsDiscardedBeforeTheNextCommand) {
  Start(R"([{"on": "NOOP", "raw": "200 OK\r\n200 a stray second reply\r\n"}])");
  client_.ExecuteCommand("NOOP");
  EXPECT_EQ(client_.TransactionReply, "200 OK\r\n");
  // Wait until the stray line is surely here, then send the next command.
  for (int i = 0; i < 500 && !client_.DataAvailable(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  client_.ExecuteCommand("PWD");
  EXPECT_EQ(client_.ReplyNumber, 257);
  EXPECT_EQ(r_.events, (Lines{"Success Command", "Success CurrentDir"}));
}

// A multi-line reply is read to its final line before the command returns,
// whatever segment each line arrives in: the next command's reply is judged
// on its own line, and every line of the first is reported. Each row's reply
// pauses after its first line (the server answers nothing else meanwhile).
TEST(FtpMultiLineReply, IsReadToItsFinalLineBeforeTheNextCommand) {
  const struct {
    const char* rules;
    const char* command;  // after the login; empty: the login's reply is the multi-line one
    Lines lines;
  } cases[] = {
      {R"([{"on": "PASS", "reply": ["230-Welcome,", 0.3, "230-this server keeps logs", "230 Logged in"]},
          {"on": "NOOP", "reply": "500 Refused"}])",
       "", {"230-Welcome,\r\n", "230-this server keeps logs\r\n", "230 Logged in\r\n"}},
      {R"([{"on": "CWD", "reply": ["250-Folder changed;", 0.3, "250-read the notice", "250 Done"]},
          {"on": "NOOP", "reply": "500 Refused"}])",
       "CWD Merindo", {"250-Folder changed;\r\n", "250-read the notice\r\n", "250 Done\r\n"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rules);
    FtpServerProcess server(FtpServerOptions::Scripted(c.rules));
    TFtpClient client(nullptr);
    Recorder r;
    ftptesting::Wire(client, server, r);
    client.Connect();
    if (*c.command) client.ExecuteCommand(c.command);
    EXPECT_EQ(client.ReplyNumber, std::stoi(c.lines.front().substr(0, 3)));
    // The reply to NOOP is its own refusal, not the rest of the reply before.
    EXPECT_EQ(MessageOf<FTPException>([&] { client.ExecuteCommand("NOOP"); }), "500 Refused\r\n");
    const auto first = std::find(r.status.begin(), r.status.end(), c.lines.front());
    ASSERT_NE(first, r.status.end());
    EXPECT_EQ(Lines(first, first + std::min<std::ptrdiff_t>(r.status.end() - first, 3)), c.lines);
  }
}

TEST_F(FtpCommands, SetTransferTypeSendsOnlyTheKnownTypes) {
  Start("[]");
  client_.SetTransferType(0);
  client_.SetTransferType(TypeLocal8);
  client_.SetTransferType(4);
  client_.SetTransferType(TypeAscii);
  client_.SetTransferType(TypeImage);
  EXPECT_EQ(Sent(3), (Lines{"TYPE L 8", "TYPE A", "TYPE I"}));
}

TEST_F(FtpCommands, ACommandWhenNotConnectedSendsNothing) {
  Start("[]");
  client_.Disconnect();
  EXPECT_EQ(MessageOf<Exception>([&] { client_.ChangeDirectory("x"); }), "Not Connected");
  int offered = 0;
  client_.OnConnectionRequired = [&](bool&) { ++offered; };
  EXPECT_THROW(client_.ChangeDirectory("x"), Exception);
  EXPECT_EQ(offered, 1);
  EXPECT_EQ(server_->WaitForCommands(3), (Lines{"USER test", "PASS secret", "QUIT"}));
}

}  // namespace
