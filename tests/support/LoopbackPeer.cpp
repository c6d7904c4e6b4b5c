#include "tests/support/LoopbackPeer.h"

#include <algorithm>
#include <chrono>

namespace testsupport {

namespace ps = peersockets;

namespace {

constexpr int kGiveUpMs = 10000;
constexpr int kSliceMs = 20;

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits for socket in slices, until it is ready, stopping is set or the 10 s
// pass.
bool waitSocket(ps::Handle socket, bool forWriting, const std::atomic<bool>& stopping) {
  for (int waited = 0; waited < kGiveUpMs && !stopping; waited += kSliceMs)
    if (ps::WaitReady(socket, forWriting, kSliceMs)) return true;
  return false;
}

}  // namespace

bool waitFor(const std::atomic<bool>& flag) {
  for (int waited = 0; waited < kGiveUpMs && !flag; waited += 2) sleepMs(2);
  return flag;
}

PeerConnection::PeerConnection(ps::Handle socket, const std::atomic<bool>& stopping)
    : socket_(socket), stopping_(stopping) {}

PeerConnection::~PeerConnection() { close(); }

bool PeerConnection::waitReady(bool forWriting) { return waitSocket(socket_, forWriting, stopping_); }

bool PeerConnection::send(const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    if (!waitReady(true)) return false;
    const long n = ps::SendSome(socket_, bytes.data() + sent, bytes.size() - sent);
    if (n < 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

std::string PeerConnection::receive(std::size_t count) {
  std::string got;
  char chunk[65536];
  while (got.size() < count && waitReady(false)) {
    const long n = ps::ReceiveSome(socket_, chunk, std::min(sizeof chunk, count - got.size()));
    if (n < 0) break;
    got.append(chunk, static_cast<std::size_t>(n));
  }
  return got;
}

std::string PeerConnection::receiveLine() {
  std::string got;
  char c;
  while (waitReady(false)) {
    const long n = ps::ReceiveSome(socket_, &c, 1);
    if (n < 0) break;
    if (n == 0) continue;
    got += c;
    if (c == '\n') break;
  }
  return got;
}

std::string PeerConnection::receiveAll() { return receive(static_cast<std::size_t>(-1)); }

bool PeerConnection::waitClosed() {
  char chunk[4096];
  while (waitReady(false))
    if (ps::ReceiveSome(socket_, chunk, sizeof chunk) < 0) return true;
  return false;
}

void PeerConnection::shutdownSending() { ps::ShutdownSending(socket_); }

void PeerConnection::close() {
  ps::Close(socket_);
  socket_ = ps::kNone;
}

void PeerConnection::reset() {
  if (socket_ == ps::kNone) return;
  ps::Reset(socket_);
  socket_ = ps::kNone;
}

std::uint16_t PeerConnection::localPort() const { return ps::Port(socket_, false); }
std::uint16_t PeerConnection::remotePort() const { return ps::Port(socket_, true); }

bool PeerConnection::nothingPending() { return ps::NothingPending(socket_); }

LoopbackPeer::LoopbackPeer(std::function<void(PeerConnection&)> script) {
  listening_ = ps::Bound(port_, 4);
  thread_ = std::thread([this, script = std::move(script)] {
    if (waitSocket(listening_, false, stopping_)) {
      const ps::Handle socket = ps::Accept(listening_);
      if (socket != ps::kNone) {
        PeerConnection connection(socket, stopping_);
        script(connection);
      }
    }
    finished_ = true;
  });
}

LoopbackPeer::~LoopbackPeer() {
  stopping_ = true;
  thread_.join();
  ps::Close(listening_);
}

bool LoopbackPeer::waitFinished() { return waitFor(finished_); }

LoopbackClient::LoopbackClient(std::uint16_t port, std::function<void(PeerConnection&)> script) {
  thread_ = std::thread([this, port, script = std::move(script)] {
    for (int waited = 0; waited < kGiveUpMs && !stopping_; waited += kSliceMs) {
      const ps::Handle socket = ps::Connect(port);
      if (socket != ps::kNone) {
        localPort_ = ps::Port(socket, false);
        connected_ = true;
        PeerConnection connection(socket, stopping_);
        script(connection);
        break;
      }
      sleepMs(kSliceMs);
    }
    finished_ = true;
  });
}

LoopbackClient::~LoopbackClient() {
  stopping_ = true;
  thread_.join();
}

bool LoopbackClient::waitFinished() { return waitFor(finished_); }

std::uint16_t LoopbackClient::localPort() const {
  waitFor(connected_);
  return localPort_;
}

RefusingPort::RefusingPort() { socket_ = ps::Bound(port_); }
RefusingPort::~RefusingPort() { ps::Close(socket_); }

StalledListener::StalledListener() : fillers_{ps::kNone, ps::kNone} {
  // A backlog of 0 holds one connection; the next handshake is dropped.
  listening_ = ps::Bound(port_, 0);
  for (ps::Handle& filler : fillers_) {
    filler = ps::Connect(port_, false);
    ps::WaitReady(filler, true, 200);
  }
}

StalledListener::~StalledListener() {
  for (ps::Handle filler : fillers_) ps::Close(filler);
  ps::Close(listening_);
}

BusyPort::BusyPort() { socket_ = ps::Bound(port_, 1); }
BusyPort::~BusyPort() { ps::Close(socket_); }

}  // namespace testsupport
