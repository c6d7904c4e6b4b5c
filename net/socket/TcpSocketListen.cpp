// Listening for one incoming connection, the local address and port in the
// form of an FTP PORT argument, and the field splitter of replies.
#include "net/socket/TcpSocket.h"

#include "platform/Win32.h"

#include <algorithm>
#include <cstring>

namespace {

// The socket's local address; raises the socket error when it has none.
sockaddr_in LocalAddress(TTcpSocket& socket) {
  sockaddr_in address{};
  int length = sizeof address;
  if (getsockname(socket.SocketHandle, reinterpret_cast<sockaddr*>(&address), &length) == SOCKET_ERROR) {
    std::string error;
    socket.CheckSocketError(WSAEWOULDBLOCK, error);
  }
  return address;
}

}  // namespace

void TTcpSocket::Listen(bool secondMessage, const std::string& address) {
  StatusMessage(8, "Listening");
  const std::size_t length = std::min(address.size(), kSocketBufferSize);
  std::memcpy(Buffer, address.data(), length);
  Buffer[length] = '\0';
  RemoteAddress.sin_addr = inet_addr(Buffer);
  RemoteAddress.sin_family = AF_INET;
  if (Port < 0 || Port > 65535) throw ERangeError();
  RemoteAddress.sin_port = htons(static_cast<unsigned short>(Port));
  EventArrived = false;
  std::string error;
  if (bind(SocketHandle, reinterpret_cast<const sockaddr*>(&RemoteAddress), sizeof RemoteAddress) == SOCKET_ERROR)
    CheckSocketError(WSAEWOULDBLOCK, error);
  WSAAsyncSelect(SocketHandle, WindowHandle, secondMessage ? kSocketAsyncMessage : kSocketMessage, FD_ACCEPT);
  if (listen(SocketHandle, 1) == SOCKET_ERROR) CheckSocketError(WSAEWOULDBLOCK, error);
}

std::uint16_t TTcpSocket::Accept() {
  StatusMessage(4, "Accepting");
  while (!EventArrived && !Canceled) SleepAndProcessMessages();
  // A time-out ends here too: it sets EventArrived and, through Abort, Canceled.
  if (Canceled) throw ESockError("Accepting Canceled");
  if (!Succeeded) throw ESockError("Error creating Data Connection");
  int length = sizeof RemoteAddress;
  sockaddr_in peer{};
  const SOCKET accepted = accept(SocketHandle, reinterpret_cast<sockaddr*>(&peer), &length);
  if (accepted == INVALID_SOCKET) {
    std::string error;
    CheckSocketError(WSAEWOULDBLOCK, error);
    throw ESockError("Error creating Data Connection");  // the announced connection is gone
  }
  if (accepted >= kNoSocket) {
    closesocket(accepted);
    throw ERangeError();
  }
  WSAAsyncSelect(accepted, WindowHandle, kSocketMessage, kSocketEventMask);
  std::memcpy(&RemoteAddress, &peer, sizeof RemoteAddress);
  if (Canceled) {
    Canceled = false;
    DiscardSocket(static_cast<std::uint16_t>(accepted));
    throw EAbortError("Socket send aborted");
  }
  return static_cast<std::uint16_t>(accepted);
}

std::string TTcpSocket::GetLocalAddress() { return inet_ntoa(LocalAddress(*this).sin_addr); }

std::string TTcpSocket::GetLocalAddressArg() {
  std::string text = GetLocalAddress();
  int replaced = 0;
  for (char& c : text) {
    if (c == '.' && replaced < 3) {
      c = ',';
      ++replaced;
    }
  }
  return text;
}

std::string TTcpSocket::GetLocalPortArg() {
  const unsigned port = ntohs(LocalAddress(*this).sin_port);
  return Format(",%u,%u", port / 256, port % 256);
}

std::string ExtractField(const std::string& text, char separator, int n) {
  std::string field;
  int separators = 0;
  for (char c : text) {
    if (separators >= n) break;
    if (c == separator) ++separators;
    else if (separators == n - 1) field += c;
  }
  return field;
}
