// The few blocking socket calls of the tests' own peers and helpers, over
// the system's sockets: BSD sockets on Linux (posix/PeerSockets.cpp), Winsock
// 2 on Windows (win32/PeerSockets.cpp). Only tests/support uses them; the
// component under test goes through the platform layer instead. Everything
// is on 127.0.0.1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace testsupport::peersockets {

// A socket, or kNone. Wide enough for a descriptor and for a Windows SOCKET.
using Handle = std::intptr_t;
constexpr Handle kNone = -1;

// A TCP socket bound to 127.0.0.1 on a port the system chooses (port set),
// listening with backlog when listenBacklog >= 0. kNone when that fails.
Handle Bound(std::uint16_t& port, int listenBacklog = -1);
// Takes one pending connection, or kNone.
Handle Accept(Handle listening);
// A connection to 127.0.0.1:port: complete when wait is true (kNone when it
// fails), else started without waiting for the handshake.
Handle Connect(std::uint16_t port, bool wait = true);

// Waits up to ms for readability (or writability when forWriting): true when
// ready, false when the time passed or the socket failed.
bool WaitReady(Handle socket, bool forWriting, int ms);

// One send or receive that does not wait: the bytes moved, 0 when none could
// be moved yet, -1 when the connection failed (or, for Receive, ended).
long SendSome(Handle socket, const char* bytes, std::size_t size);
long ReceiveSome(Handle socket, char* bytes, std::size_t size);
// Whether the receive buffer holds nothing.
bool NothingPending(Handle socket);

void ShutdownSending(Handle socket);
void Close(Handle socket);
// Closes with a reset (RST) instead of a graceful close.
void Reset(Handle socket);
// This end's port, or the other end's.
std::uint16_t Port(Handle socket, bool remote);

// Whether the system's resolver gives host the address 127.0.0.1.
bool ResolvesToLoopback(const std::string& host);

}  // namespace testsupport::peersockets
