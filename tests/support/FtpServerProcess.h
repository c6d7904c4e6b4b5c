// A real FTP server for the client's tests: the scripted server
// (tests/servers/scripted_ftp.py, whose header documents the fault rules) or
// vsftpd, run as a child process on 127.0.0.1 at a port chosen at bind time.
// Linux only.
//
//   testsupport::FtpServerProcess server(
//       testsupport::FtpServerOptions::Scripted(R"([{"on": "PASS", "reply": "530 Login incorrect."}])"));
//   server.PutFile("Merindo/Versione.Txt", "1.0\r\n");
//   client.SetPort(server.Port());  ...
//   EXPECT_EQ(server.WaitForCommands(3), (std::vector<std::string>{"USER test", "PASS secret", "QUIT"}));
#pragma once

#include <sys/types.h>

#include <cstddef>
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

class FtpServerProcess {
 public:
  // Starts the server and waits (at most 15 s) until it listens. Throws
  // std::runtime_error saying why when it does not start (the server's own
  // error output included). Start it from the test's main thread: the server
  // ends with the thread that started it.
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
  FtpServerOptions options_;
  std::string tempDir_;
  bool ownRoot_ = false;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace testsupport
