#include "tests/support/FtpServerProcess.h"

#include "tests/support/PeerSockets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace ps = testsupport::peersockets;
using testsupport::FtpServerOptions;
using testsupport::FtpServerProcess;

// A loopback connection whose reads give up after five seconds.
class Connection {
 public:
  explicit Connection(int port) : socket_(ps::Connect(static_cast<std::uint16_t>(port))) {}
  ~Connection() { ps::Close(socket_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool Connected() const { return socket_ != ps::kNone; }
  void Send(const std::string& line) {
    std::string wire = line + "\r\n";
    ASSERT_EQ(ps::SendSome(socket_, wire.data(), wire.size()), static_cast<long>(wire.size()));
  }
  // Everything up to and including `marker`; empty on end of stream or time-out.
  std::string ReadUntil(const std::string& marker) {
    std::size_t at;
    while ((at = buffer_.find(marker)) == std::string::npos) {
      if (!Fill()) return "";
    }
    std::string text = buffer_.substr(0, at + marker.size());
    buffer_.erase(0, at + marker.size());
    return text;
  }
  std::string ReadToEnd() {
    while (Fill()) {
    }
    return std::move(buffer_);
  }

 private:
  bool Fill() {
    if (!ps::WaitReady(socket_, false, 5000)) return false;
    char chunk[65536];
    const long n = ps::ReceiveSome(socket_, chunk, sizeof chunk);
    if (n < 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(n));
    return true;
  }

  ps::Handle socket_;
  std::string buffer_;
};

TEST(FtpServerProcess, PlaysItsScriptServesFilesAndRecordsTheCommands) {
  FtpServerProcess server(
      FtpServerOptions::Scripted(R"([{"on": "greeting", "reply": ["220-Hello", "220 Ready"]},
                                     {"on": "CWD", "arg": "Missing", "reply": "550 No such directory"}])")
          .WithLogin("1234567@ospit.it", "ab12cd34"));
  std::string payload("\0\r\n\xff", 4);
  payload += std::string(70000, 'x');
  server.PutFile("Merindo/Versione.Txt", payload);

  Connection control(server.Port());
  ASSERT_TRUE(control.Connected());
  EXPECT_EQ(control.ReadUntil("220 Ready\r\n"), "220-Hello\r\n220 Ready\r\n");
  for (const char* command : {"USER 1234567@ospit.it", "PASS ab12cd34", "CWD Missing", "CWD Merindo", "TYPE L 8"}) {
    control.Send(command);
  }
  EXPECT_EQ(control.ReadUntil("550 No such directory\r\n").substr(0, 4), "331 ");
  EXPECT_EQ(control.ReadUntil("200 Type set to: Binary.\r\n").substr(0, 4), "250 ");

  control.Send("PASV");
  std::string pasv = control.ReadUntil(")");
  control.ReadUntil("\r\n");
  std::vector<int> numbers;
  for (std::size_t at = pasv.find('(') + 1; at < pasv.size(); at = pasv.find_first_of(",)", at) + 1) {
    numbers.push_back(std::stoi(pasv.substr(at)));
  }
  ASSERT_EQ(numbers.size(), 6u);
  Connection data(numbers[4] * 256 + numbers[5]);
  ASSERT_TRUE(data.Connected());
  control.Send("RETR Versione.Txt");
  EXPECT_EQ(control.ReadUntil("\r\n"), "150 Opening BINARY mode data connection for Versione.Txt (70004 bytes).\r\n");
  EXPECT_EQ(data.ReadToEnd(), payload);
  EXPECT_EQ(control.ReadUntil("\r\n"), "226 Transfer complete.\r\n");

  EXPECT_EQ(server.WaitForCommands(7),
            (std::vector<std::string>{"USER 1234567@ospit.it", "PASS ab12cd34", "CWD Missing", "CWD Merindo",
                                      "TYPE L 8", "PASV", "RETR Versione.Txt"}));
}

TEST(FtpServerProcess, ABadScriptFailsTheStartWithTheServersReason) {
  try {
    FtpServerProcess server(FtpServerOptions::Scripted(R"([{"on": "USER", "replay": "230 x"}])"));
    FAIL() << "started on port " << server.Port();
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("unknown keys ['replay']"), std::string::npos) << e.what();
  }
}

TEST(FtpServerProcess, RunsVsftpdAndStopsIt) {
  std::filesystem::path root;
  int port;
  {
    FtpServerProcess server(FtpServerOptions::Vsftpd());
    root = server.Root();
    port = server.Port();
    Connection control(port);
    ASSERT_TRUE(control.Connected());
    EXPECT_EQ(control.ReadUntil("\r\n").substr(0, 4), "220 ");
    control.Send("USER anonymous");
    EXPECT_EQ(control.ReadUntil("\r\n"), "230 Login successful.\r\n");
    EXPECT_EQ(server.WaitForCommands(1), std::vector<std::string>{"USER anonymous"});
    server.Stop();
    EXPECT_EQ(control.ReadToEnd(), "");  // the session ended with the server
    EXPECT_FALSE(Connection(port).Connected());
  }
  EXPECT_FALSE(std::filesystem::exists(root));
}

}  // namespace
