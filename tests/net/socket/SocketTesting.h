// Helpers of the socket component's tests: escapes for waits, status logs and
// a component connected to a loopback peer.
#pragma once

#include "classlib/Application.h"
#include "net/socket/TcpSocket.h"
#include "net/socket/ThreadTimer.h"
#include "platform/Win32.h"
#include "tests/support/LoopbackPeer.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace sockettest {

// Runs action once, from a timer tick ms after now, inside whatever wait is
// running then.
class OneShot {
 public:
  OneShot(unsigned ms, std::function<void()> action) : timer_(nullptr) {
    timer_.SetInterval(ms);
    timer_.SetOnTimer([this, action = std::move(action)](TObject*) {
      timer_.SetEnabled(false);
      action();
    });
  }

 private:
  TThreadTimer timer_;
};

// Cancels the socket's wait if the test still waits after 10 s: no test hangs.
class Watchdog : public OneShot {
 public:
  explicit Watchdog(TTcpSocket& socket) : OneShot(10000, [&socket] { socket.Cancel(); }) {}
};

// Processes messages until done() or 10 s pass.
template <class Done>
bool pumpUntil(Done done) {
  for (int i = 0; i < 5000 && !done(); ++i) {
    Application->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return done();
}

// Waits up to 10 s, dispatching nothing, until a message of that number is
// queued for window; false when none came. The first one is left in found.
inline bool waitQueued(HWND__* window, unsigned message, MSG& found) {
  for (int i = 0; i < 5000; ++i) {
    if (PeekMessageA(&found, window, message, message, PM_NOREMOVE)) return true;
    Sleep(2);
  }
  return false;
}

// Processes messages for about 100 ms, for checks that something does not
// happen.
inline void pumpAWhile() {
  for (int i = 0; i < 50; ++i) {
    Application->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

// The message of the exception of class E that f raises, or a text saying
// what happened instead.
template <class E, class F>
std::string raised(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return std::string("other exception: ") + e.what();
  }
  return "nothing raised";
}

// The status texts that reach OnStatus.
struct StatusLog {
  StatusLog(TTcpSocket& socket, int level) {
    socket.ReportLevel = level;
    socket.OnStatus = [this](TComponent*, const std::string& text) { texts.push_back(text); };
  }
  std::vector<std::string> texts;
};

// A component connected to a loopback peer running script, with a time-out
// of 10 s and a watchdog as escapes.
struct ConnectedSocket {
  explicit ConnectedSocket(std::function<void(testsupport::PeerConnection&)> script) : peer(std::move(script)) {
    socket.Host = "127.0.0.1";
    socket.Port = peer.port();
    socket.TimeOut = 10000;
    socket.Connect();
  }
  testsupport::LoopbackPeer peer;
  TTcpSocket socket{nullptr};
  Watchdog watchdog{socket};
};

}  // namespace sockettest
