// TCP peers on 127.0.0.1 for tests of the socket layer, on threads of the
// test process, over the system's own sockets (PeerSockets.h). Plain C++, so
// tests that include platform/Win32.h can use them. Ports are chosen at bind time. Every blocking step gives up after
// 10 s and the destructors end a script that still waits, so no test hangs on
// a peer.
#pragma once

#include "tests/support/PeerSockets.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace testsupport {

// Waits up to 10 s for flag, sleeping between looks (no message processing);
// returns its value.
bool waitFor(const std::atomic<bool>& flag);

// One connection as a peer sees it (blocking).
class PeerConnection {
 public:
  PeerConnection(peersockets::Handle socket, const std::atomic<bool>& stopping);
  ~PeerConnection();
  PeerConnection(const PeerConnection&) = delete;
  PeerConnection& operator=(const PeerConnection&) = delete;

  // All bytes, or false when the connection refuses them.
  bool send(const std::string& bytes);
  // Until count bytes came, the other side closed or 10 s passed.
  std::string receive(std::size_t count);
  // Through the first line feed (or what came before the close).
  std::string receiveLine();
  // Until the other side closes.
  std::string receiveAll();
  // Whether the other side closed or reset within 10 s (discards data).
  bool waitClosed();
  // Ends sending (FIN); reading goes on.
  void shutdownSending();
  // Closes gracefully, or with a reset.
  void close();
  void reset();
  // This end's port, and the other end's.
  std::uint16_t localPort() const;
  std::uint16_t remotePort() const;
  // Whether the receive buffer holds nothing (a look that does not wait).
  bool nothingPending();

 private:
  bool waitReady(bool forWriting);
  peersockets::Handle socket_;
  const std::atomic<bool>& stopping_;
};

// Listens on 127.0.0.1, accepts one connection on its thread and runs script
// on it; the connection is closed when the script returns.
class LoopbackPeer {
 public:
  explicit LoopbackPeer(std::function<void(PeerConnection&)> script);
  ~LoopbackPeer();
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  std::uint16_t port() const { return port_; }
  bool finished() const { return finished_; }
  // Waits (up to 10 s, no message processing) until the script ended.
  bool waitFinished();

 private:
  peersockets::Handle listening_;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

// Connects to 127.0.0.1:port on its thread (retrying until the port listens)
// and runs script on the connection.
class LoopbackClient {
 public:
  LoopbackClient(std::uint16_t port, std::function<void(PeerConnection&)> script);
  ~LoopbackClient();
  LoopbackClient(const LoopbackClient&) = delete;
  LoopbackClient& operator=(const LoopbackClient&) = delete;

  bool finished() const { return finished_; }
  bool waitFinished();
  // The client's own port, once its connect has returned on its thread (the
  // other side may accept the connection before that); 0 when it never
  // connected.
  std::uint16_t localPort() const;

 private:
  std::atomic<bool> stopping_{false};
  std::atomic<bool> finished_{false};
  std::atomic<std::uint16_t> localPort_{0};
  std::atomic<bool> connected_{false};
  std::thread thread_;
};

// A port of 127.0.0.1 that refuses connections while the object lives.
class RefusingPort {
 public:
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  std::uint16_t port() const { return port_; }

 private:
  peersockets::Handle socket_;
  std::uint16_t port_ = 0;
};

// A port of 127.0.0.1 that listens with a full accept queue: a connection
// attempt stays pending (the handshake is never answered) while the object
// lives. That is Linux's answer to a full queue, and Wine's, whose sockets
// are Linux's; Windows itself refuses such an attempt instead.
class StalledListener {
 public:
  StalledListener();
  ~StalledListener();
  StalledListener(const StalledListener&) = delete;
  StalledListener& operator=(const StalledListener&) = delete;
  std::uint16_t port() const { return port_; }

 private:
  peersockets::Handle listening_;
  peersockets::Handle fillers_[2];
  std::uint16_t port_ = 0;
};

// A port of 127.0.0.1 held by a listener of its own while the object lives.
class BusyPort {
 public:
  BusyPort();
  ~BusyPort();
  BusyPort(const BusyPort&) = delete;
  BusyPort& operator=(const BusyPort&) = delete;
  std::uint16_t port() const { return port_; }

 private:
  peersockets::Handle socket_;
  std::uint16_t port_ = 0;
};

}  // namespace testsupport
