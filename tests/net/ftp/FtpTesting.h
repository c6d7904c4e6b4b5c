// A client wired to a real server, recording what it reports.
#pragma once

#include "classlib/Timer.h"
#include "net/ftp/FtpClient.h"
#include "tests/support/FtpServerProcess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ftptesting {

// The client's events, in the order they fired.
struct Recorder {
  std::vector<std::string> status;  // level-1 texts
  std::vector<std::string> events;

  bool StatusContains(const std::string& text) const {
    for (const std::string& s : status)
      if (s == text) return true;
    return false;
  }
  int Count(const std::string& event) const {
    int n = 0;
    for (const std::string& e : events) n += e == event;
    return n;
  }
};

inline const char* KindName(TCmdType kind) {
  switch (kind) {
    case TCmdType::ctChangeDir: return "ChangeDir";
    case TCmdType::ctMakeDir: return "MakeDir";
    case TCmdType::ctDelete: return "Delete";
    case TCmdType::ctRemoveDir: return "RemoveDir";
    case TCmdType::ctDownload: return "Download";
    case TCmdType::ctCommand: return "Command";
    case TCmdType::ctCurrentDir: return "CurrentDir";
  }
  return "?";
}

// A client for server, with the test's login, recording into recorder.
// TimeOut bounds every wait of the client, so a fault never hangs a test.
inline void Wire(TFtpClient& client, const testsupport::FtpServerProcess& server, Recorder& recorder) {
  client.Host = server.Host();
  client.Port = server.Port();
  client.UserID = "test";
  client.Password = "secret";
  client.TimeOut = 20000;
  client.ReportLevel = 1;
  client.OnStatus = [&recorder](TComponent*, const std::string& s) { recorder.status.push_back(s); };
  client.OnConnect = [&recorder](TObject*) { recorder.events.push_back("Connect"); };
  client.OnDisconnect = [&recorder](TObject*) { recorder.events.push_back("Disconnect"); };
  client.OnConnectionFailed = [&recorder](TObject*) { recorder.events.push_back("ConnectionFailed"); };
  client.OnTransactionStart = [&recorder](TObject*) { recorder.events.push_back("TransactionStart"); };
  client.OnTransactionStop = [&recorder](TObject*) { recorder.events.push_back("TransactionStop"); };
  client.OnSuccess = [&recorder](TCmdType kind) { recorder.events.push_back(std::string("Success ") + KindName(kind)); };
  client.OnUnSupportedFunction = [&recorder](TCmdType kind) {
    recorder.events.push_back(std::string("UnSupported ") + KindName(kind));
  };
}

// The count commands the server received after the login's USER and PASS.
inline std::vector<std::string> CommandsAfterLogin(const testsupport::FtpServerProcess& server, std::size_t count) {
  std::vector<std::string> all = server.WaitForCommands(count + 2);
  return std::vector<std::string>(all.begin() + 2, all.end());
}

// Ends every wait of the client (a data connection's too) if the test still
// waits after 10 s, so that no test hangs; Fired() tells a test that expected
// the wait to end by itself that it did not.
class Escape {
 public:
  explicit Escape(TFtpClient& client) : timer_(nullptr) {
    timer_.SetInterval(10000);
    timer_.SetOnTimer([this, &client](TObject*) {
      timer_.SetEnabled(false);
      fired_ = true;
      client.Abort();
      client.Cancel();
    });
  }
  bool Fired() const { return fired_; }

 private:
  TTimer timer_;
  bool fired_ = false;
};

// The message of the exception that call raises; fails the test when none.
template <class E, class F>
std::string MessageOf(F&& call) {
  try {
    call();
  } catch (const E& e) {
    return e.what();
  }
  ADD_FAILURE() << "no exception";
  return {};
}

}  // namespace ftptesting
