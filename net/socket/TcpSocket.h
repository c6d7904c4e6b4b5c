// TTcpSocket: one TCP socket of Windows sockets 1.1 in the asynchronous,
// window-message style, with operations that look blocking to the caller.
//
// Every socket is non-blocking and selected with WSAAsyncSelect to a hidden
// window of class "TcpSocketWindowClass" that the component owns; the window
// receives message 1125 (socket notifications) and 1126 (host look-up replies,
// and the accept notification of Listen(true)). Operations that wait (resolve,
// connect, read a line, accept, capture a stream) poll flags while processing
// the application's pending messages, so timers, painting, events and a
// Cancel from a handler run inside the wait.
//
// Failures raise ESockError (EAbortError when a wait ended through Canceled);
// no operation returns an error code. Status texts go through StatusMessage at
// level 1 (protocol lines), 4 (socket actions) or 8 (call trace).
#pragma once

#include "classlib/Classes.h"
#include "net/socket/ThreadTimer.h"

#include <cstdint>
#include <memory>
#include <string>

struct HWND__;

class ESockError : public Exception {
 public:
  using Exception::Exception;
};

// A blocking operation ended because Canceled was set (Cancel, Abort or the
// time-out).
class EAbortError : public ESockError {
 public:
  using ESockError::ESockError;
};

// Handled is passed by reference; a handler sets it to true to ask for a retry.
using THandlerEvent = TEvent<bool&>;
using TOnStatus = TEvent<TComponent*, const std::string&>;
using TOnErrorEvent = TEvent<TComponent*, std::uint16_t, const std::string&>;
using TOnHostResolved = TEvent<TComponent*>;

// An IPv4 socket address laid out as the platform's sockaddr_in: family, port
// and address in network byte order, 8 zero bytes.
struct TSockAddrIn {
  std::int16_t sin_family;
  std::uint16_t sin_port;
  std::uint32_t sin_addr;
  char sin_zero[8];
};

// The Windows sockets start-up record, laid out as the platform's WSADATA.
struct TWSAData {
  std::uint16_t wVersion;
  std::uint16_t wHighVersion;
  char szDescription[257];
  char szSystemStatus[129];
  std::uint16_t iMaxSockets;
  std::uint16_t iMaxUdpDg;
  char* lpVendorInfo;
};

// Window messages of the hidden socket window.
constexpr unsigned kSocketMessage = 1024 + 101;      // WSAAsyncSelect notifications
constexpr unsigned kSocketAsyncMessage = 1024 + 102;  // look-up replies, Listen(true) accepts
// The events selected on every ordinary socket: FD_READ, FD_OOB, FD_ACCEPT,
// FD_CONNECT and FD_CLOSE (not FD_WRITE).
constexpr long kSocketEventMask = 61;
constexpr std::uint16_t kNoSocket = 65535;
constexpr std::size_t kSocketBufferSize = 65536;

class TTcpSocket : public TComponent {
 public:
  // Reports "Create", creates the hidden window, HostEntBuffer, Timer and
  // WSAInfo, then InitWinsock. Raises ESockError "Initializaton of windows
  // sockets failed" when Windows sockets or the socket cannot be had.
  explicit TTcpSocket(TComponent* owner);
  // Abort, Cancel, frees its parts, closes the socket and releases Windows
  // sockets with the last instance. Never throws.
  ~TTcpSocket() override;

  // ---- virtual operations, in slot order
  // Waits for the connection announced after Listen(true) and returns the new
  // socket (the caller adopts it). Raises "Accepting Canceled", "Error
  // creating Data Connection", or EAbortError "Socket send aborted".
  virtual std::uint16_t Accept();
  // Resolves Proxy or Host and connects to ProxyPort or Port, waiting until
  // connected. Raises "Already connected", "Null Remote Address", the look-up
  // errors, "Connection Timed out", "Connection Canceled", "Connection
  // Failed" (after OnConnectionFailed) or a socket error text.
  virtual void Connect();
  // Reports "Disconnecting", then RequestCloseSocket.
  virtual void Disconnect();
  // Writeln of command, then ReadLn of one reply line; sets TransactionReply
  // and ReplyNumber and reports the line at level 1.
  virtual std::string Transaction(const std::string& command);
  // Reports "Abort", then Cancel.
  virtual void Abort();

  // ---- connection (core)
  void Cancel();
  // Raises Exception "Not Connected" unless connected, after offering
  // OnConnectionRequired once.
  void CheckConnection();
  void ResolveHost();
  // Closes the socket, fires OnDisconnect and opens a fresh socket, so the
  // component is ready for the next Connect or Listen.
  void RequestCloseSocket();
  void StatusMessage(std::uint8_t level, const std::string& text);
  void InitWinsock();
  void HandleSocketMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

  // ---- stream I/O
  void SendBuffer(const char* data, std::uint16_t length);
  void Write(const std::string& text);
  void Writeln(const std::string& text);
  std::string Read(std::uint16_t count);
  std::string ReadLn();
  void CaptureFile(const std::string& fileName);
  void ClearInput();
  bool DataAvailable();

  // ---- listener
  void Listen(bool secondMessage);
  std::string GetLocalAddressArg();
  std::string GetLocalPortArg();

  // ---- time-out and error texts
  // Arms the time-out: TimedOut := False, the timer's period := TimeOut (a
  // negative TimeOut raises ERangeError) and the period starts again from now.
  void TimerOn();
  void TimerOff();
  // The timer's first tick: TimerOff, TimedOut and EventArrived := True, then
  // the virtual Abort.
  void TimerTriggered(TObject* sender);
  // Fetches WSAGetLastError into LastErrorNo. An error other than tolerated
  // and above 10000 gets its text, goes to OnError and raises ESockError with
  // that text; otherwise text is set empty.
  void CheckSocketError(std::uint16_t tolerated, std::string& text);
  // "<number>:<message>" from the error table, "Unknown Error No. <number>"
  // for a number not in it, empty for 0.
  void LookupErrorMessage(std::uint16_t error, std::string& text);

  // ---- fields, in declaration order
  char Buffer[kSocketBufferSize + 1];
  TNotifyEvent OnRead;
  TNotifyEvent OnAccept;
  TNotifyEvent OnConnect;
  TNotifyEvent OnDisconnect;
  TOnErrorEvent OnError;
  THandlerEvent OnInvalidHost;
  TOnHostResolved OnHostResolved;
  THandlerEvent OnConnectionRequired;
  TOnStatus OnStatus;
  TNotifyEvent OnConnectionFailed;
  TStringList* WSAInfo = nullptr;  // owned
  std::int32_t BytesSent = 0;
  bool Canceled = false;
  bool Destroying = false;
  std::int32_t LastErrorNo = 0;
  std::int32_t TimeOut = 0;
  std::int32_t ReportLevel = 0;
  std::string Status;
  std::string Proxy;
  std::int32_t ProxyPort = 0;
  TThreadTimer* Timer = nullptr;  // owned
  bool Succeeded = false;
  bool TimedOut = false;
  std::int32_t Port = 0;
  std::int32_t BytesTotal = 0;
  std::int32_t BytesRecvd = 0;
  TNotifyEvent OnPacketRecvd;
  TNotifyEvent OnPacketSent;
  bool EventArrived = false;
  TWSAData WSAData{};
  TSockAddrIn RemoteAddress{};
  std::string Host;
  std::unique_ptr<char[]> HostEntBuffer;  // 1,024 bytes
  std::string TransactionReply;
  std::int16_t ReplyNumber = 0;
  std::uint16_t SocketHandle = kNoSocket;
  HWND__* WindowHandle = nullptr;
  bool Connected = false;
};

// Field n (1-based) of text split at separator: consecutive separators delimit
// empty fields, the last field runs to the end, and n of 0 or less or beyond
// the fields gives an empty text. Separators are never part of a field.
std::string ExtractField(const std::string& text, char separator, int n);
