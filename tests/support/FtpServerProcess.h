// A real FTP server for the client's tests: the scripted server
// (tests/servers/scripted_ftp.py, whose header documents the fault rules) or
// vsftpd, on 127.0.0.1 at a port chosen at bind time: on Linux a child
// process; on Windows (under Wine) a server that tests/support/
// ftp_server_broker.py, the test's driver on the Linux side, starts and ends
// on the program's request (the peers stay Linux programs).
//
//   testsupport::FtpServerProcess server(
//       testsupport::FtpServerOptions::Scripted(R"([{"on": "PASS", "reply": "530 Login incorrect."}])"));
//   server.PutFile("Merindo/Versione.Txt", "1.0\r\n");
//   client.SetPort(server.Port());  ...
//   EXPECT_EQ(server.WaitForCommands(3), (std::vector<std::string>{"USER test", "PASS secret", "QUIT"}));
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct FtpServerOptions {
  enum class Kind { Scripted, Vsftpd };

  static FtpServerOptions Scripted(std::string rules = "[]") {
    FtpServerOptions options;
    options.rules = std::move(rules);
    return options;
  }
  static FtpServerOptions Vsftpd() {
    FtpServerOptions options;
    options.kind = Kind::Vsftpd;
    options.user = "anonymous";
    options.password = "";
    return options;
  }
  FtpServerOptions& WithLogin(std::string name, std::string secret) {
    user = std::move(name);
    password = std::move(secret);
    return *this;
  }
  FtpServerOptions& WithPort(int number) {
    port = number;
    return *this;
  }
  FtpServerOptions& WithRoot(std::string folder) {
    root = std::move(folder);
    return *this;
  }

  Kind kind = Kind::Scripted;
  // The scripted server's fault script: a JSON list of rules. Ignored by vsftpd.
  std::string rules = "[]";
  // Any text. The scripted server's "anonymous" takes any password; vsftpd's
  // "anonymous" logs in with USER alone (230), any other name is an account
  // of that server only.
  std::string user = "test";
  std::string password = "secret";
  std::string host = "127.0.0.1";
  // 0 lets the system choose (the usual case); 21 for a launcher run inside a
  // network namespace of its own.
  int port = 0;
  // The folder served; empty for a fresh temporary one, removed with the server.
  // vsftpd makes the folder world-readable.
  std::string root;
};

// A file of this program's as the servers name it in their rules (a
// "hold_until" file): on Windows the Linux path of a Windows one.
std::string ServerPath(const std::string& localPath);

class FtpServerProcess {
 public:
  // Starts the server and waits (at most 15 s) until it listens. Throws
  // std::runtime_error saying why when it does not start (the server's own
  // error output included). Start it from the test's main thread: the server
  // ends with the thread that started it (on Windows, with the object or the
  // process).
  explicit FtpServerProcess(FtpServerOptions options = FtpServerOptions::Scripted());
  ~FtpServerProcess();
  FtpServerProcess(const FtpServerProcess&) = delete;
  FtpServerProcess& operator=(const FtpServerProcess&) = delete;

  int Port() const { return port_; }
  const std::string& Host() const { return options_.host; }
  const std::string& Root() const { return options_.root; }

  // Writes a file (any bytes) into the served folder, creating its folders.
  void PutFile(const std::string& relativePath, const std::string& bytes) const;

  // The command lines received so far, in order, as sent without CR LF (for
  // vsftpd from its protocol log, where PASS reads "PASS <password>").
  std::vector<std::string> Commands() const;
  // Waits until at least `count` commands were received or `timeoutMs` passed;
  // returns the commands received by then.
  std::vector<std::string> WaitForCommands(std::size_t count, int timeoutMs = 5000) const;

  // Ends the server; the destructor does it too.
  void Stop();

 private:
  // The running server as each system holds it.
  struct Running;
  FtpServerOptions options_;
  std::unique_ptr<Running> running_;
  int port_ = 0;
};

}  // namespace testsupport
