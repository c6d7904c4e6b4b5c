// TTcpSocket: one TCP socket of Windows sockets 1.1 in the asynchronous,
// window-message style, with operations that look blocking to the caller.
//
// Every socket is non-blocking and selected with WSAAsyncSelect to a hidden
// window of class "TcpSocketWindowClass" that the component owns; the window
// receives message 1125 (socket notifications) and 1126 (host look-up replies,
// and the accept notification of Listen(true)), and passes every other message
// to the default window procedure. Operations that wait (resolve,
// connect, read, read a line, accept, capture a stream, and a send that the
// peer does not drain) process the application's pending messages while they
// wait, so timers, painting, events and a Cancel from a handler run inside the
// wait; a handler may call Cancel or Abort to end it. The time-out (TimeOut ms,
// 0 = none) ends a wait the same way as Abort, with TimedOut set.
//
// Failures raise ESockError (EAbortError when a wait ended through Canceled);
// no operation returns an error code. A socket error raises ESockError with
// the text "<number>:<message>" (for example "10061:Connection refused") after
// OnError received the number and the text. Status texts go through
// StatusMessage at level 1 (protocol lines), 4 (socket actions) or 8 (call
// trace).
//
// Choices of this implementation where the behaviour was open:
// - The constructor raises ESockError "Socket window could not be created"
//   when the hidden window cannot be had: without it no notification arrives
//   and every wait could only hang.
// - ReadLn returns an empty text when the connection ended (error 10057)
//   before a line feed, as when the peer closed: a partial line never reaches
//   the caller.
// - ReadLn raises ESockError "Socket readln line too long" when 65,536 bytes
//   arrived without a line feed; nothing is written past Buffer. Those bytes
//   are consumed, the rest of the line stays in the socket.
// - SendBuffer, when the peer does not take more bytes, processes pending
//   messages and sleeps 2 ms between attempts, so TimeOut, Cancel and Abort
//   end a send that the peer never drains; handlers therefore may run inside
//   a send (the bytes not yet sent are copied first, so a handler that reuses
//   Buffer does not change them).
// - Listen raises the socket error of a failed bind or listen (for example
//   "10048:Address already in use") instead of leaving Accept to wait;
//   GetLocalAddressArg and GetLocalPortArg raise the error of a failed
//   getsockname.
// - Accept raises "Error creating Data Connection" when the accept call
//   itself finds no connection, and the socket error when it fails otherwise.
// - ResolveHost treats a look-up that cannot be started as a failed one
//   ("Host Lookup Failed") rather than waiting for a reply that never comes.
// - RequestCloseSocket opens the fresh socket even when OnDisconnect raises
//   (the exception then passes on).
// - Connect ends its wait when the connect notification came, even if the
//   peer's close, handled in the same pass, has already cleared Connected.
// - Read, ReadLn and CaptureFile, when nothing could be received and no
//   message was pending, block until a notification, a timer tick or a post
//   arrives instead of polling again at once: same results, no busy loop. A
//   cancel made before such a wait begins ends it at once (EAbortError,
//   TimedOut false), as the polling would.
// - Read(0) and Read(n) return an empty text when the connection ended
//   (error 10057, the peer's close replaced the socket), as ReadLn and
//   CaptureFile do, instead of raising the error.
// - The operations that arm the time-out (SendBuffer, ReadLn, CaptureFile)
//   end when it fires even if the virtual Abort left Canceled alone: the FTP
//   client's Abort cancels only its data connection, and a read waiting on
//   its control connection would otherwise never end.
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

// The Windows sockets start-up record: the fields of the platform's WSADATA
// in the order of 32-bit Windows.
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
  // WSAInfo, then InitWinsock. Raises ESockError "Socket window could not be
  // created", or "Initializaton of windows sockets failed" when Windows
  // sockets or the socket cannot be had (the start-up count is restored).
  explicit TTcpSocket(TComponent* owner);
  // Abort (this class's: a descendant's own Abort must be run by its own
  // destructor), Cancel, frees its parts, closes the socket without firing
  // OnDisconnect or OnStatus, and releases Windows sockets with the last
  // instance. A host look-up still running keeps the hidden window and
  // HostEntBuffer, which go when its reply comes. Never throws.
  ~TTcpSocket() override;

  // ---- virtual operations, in slot order
  // After Listen(true): waits, processing messages, until the connection is
  // announced, accepts it, selects its notifications (1125, the usual events)
  // to this component's window, stores the peer's address in RemoteAddress
  // and returns the new socket; the caller adopts it (stores it in a
  // SocketHandle, closes the listening socket with DiscardSocket). Does not
  // arm the time-out: a
  // caller that wants one calls TimerOn first. Raises "Accepting Canceled"
  // (Cancel, Abort or the time-out; Canceled stays set), "Error creating Data
  // Connection" (the notification carried an error, or no connection was
  // there after all), or the socket error of accept. After Listen(false) no
  // announcement reaches Accept: only Cancel or the time-out end it.
  virtual std::uint16_t Accept();
  // Canceled := false; resolves Proxy (when set) or Host and connects to
  // ProxyPort or Port, waiting until connected; OnConnect fires inside the
  // wait. A dotted address is used without a look-up; a name is looked up
  // asynchronously, arming the time-out, and OnHostResolved fires on success.
  // A host without an address (look-up failed, "0.0.0.0") offers
  // OnInvalidHost once: a handler that sets Handled (after correcting Host) is
  // retried once. Raises "Already connected" (socket untouched), ERangeError
  // for a port outside 0..65535 (before any connection attempt), "Host Lookup
  // Timed Out", "Host Lookup Canceled", "Null Remote Address", the socket
  // error of connect, or, after OnConnectionFailed, "Connection Timed out",
  // "Connection Canceled" or "Connection Failed" (refused, unreachable; the
  // number is in no text). Canceled is left set after a cancel. A peer that
  // closes at once still makes a successful Connect (OnConnect, then
  // OnDisconnect, have fired; the component holds a fresh socket).
  virtual void Connect();
  // Reports "Disconnecting", then RequestCloseSocket.
  virtual void Disconnect();
  // ReplyNumber := 0; Writeln(command) (sends command + CR LF), then ReadLn.
  // Stores the line in TransactionReply and returns it; a non-empty reply is
  // reported at level 1 as received, and its leading digits (within the first
  // 10 characters) become ReplyNumber: 0 without digits or for an empty reply
  // (peer closed), ERangeError for a value beyond -32768..32767. Reads one
  // line only; raises what Writeln and ReadLn raise.
  virtual std::string Transaction(const std::string& command);
  // Reports "Abort", then Cancel.
  virtual void Abort();

  // ---- connection (core)
  // Reports "Canceling"; Canceled := true. The wait in progress ends at its
  // next pass.
  void Cancel();
  // Raises Exception "Not Connected" unless connected, after offering
  // OnConnectionRequired once (a handler that connects and sets Handled).
  void CheckConnection();
  // Fills the address of RemoteAddress from Proxy or Host (see Connect).
  // Raises "Host Lookup Timed Out", "Host Lookup Canceled" or "Host Lookup
  // Failed".
  void ResolveHost();
  // Reports "Request Close Socket"; Connected := false; closes the socket
  // (the socket made at construction lingers 0 s, so its connection is
  // reset; later ones close normally), fires OnDisconnect and opens a fresh
  // socket, so the component is ready for the next Connect or Listen. Queued
  // notifications of the closed socket are never delivered (DiscardSocket),
  // also when the fresh socket gets its handle. Raises the socket error if
  // the close fails (no fresh socket then).
  void RequestCloseSocket();
  // Closes a socket selected to this component's window (the current one,
  // a listener the caller replaced, an accepted one it refuses): its
  // selection is cancelled and its notifications still queued are removed,
  // so none of them reaches whichever socket gets the handle next. Returns
  // closesocket's result.
  int DiscardSocket(std::uint16_t handle);
  // Stores text in Status and passes it to OnStatus when level is not above
  // ReportLevel. Never raises.
  void StatusMessage(std::uint8_t level, const std::string& text);
  void InitWinsock();
  // Acts on a message of the hidden window (1125, when it names SocketHandle:
  // FD_READ fires OnRead, FD_ACCEPT sets Connected and fires OnAccept, a
  // successful FD_CONNECT sets Connected and fires OnConnect, FD_CLOSE runs
  // RequestCloseSocket unless unread data is waiting; 1126: EventArrived, and
  // for an accept also Connected and OnAccept). Succeeded := the message
  // carried no error. Swallows every exception.
  void HandleSocketMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

  // ---- stream I/O
  // Sends length bytes (0 = up to the first NUL; more than 65,535 is an
  // ERangeError), arming the time-out. Raises EAbortError "Socket send
  // aborted" when Canceled was set before or during the send (clearing it),
  // or the socket error ("10054:Connection reset by peer" for a closed
  // peer).
  void SendBuffer(const char* data, std::uint16_t length);
  // Sends text up to its first NUL through Buffer and SendBuffer; more than
  // 65,535 characters is an ERangeError.
  void Write(const std::string& text);
  // Write(text + CR LF): one send of the whole line.
  void Writeln(const std::string& text);
  // count 0: returns what is waiting now (up to 65,535 bytes; 65,536 or more
  // waiting is an ERangeError), empty when nothing is or the peer closed.
  // count n: waits, processing messages, until n bytes are waiting and
  // returns them; empty when the peer closed with none waiting. A peer that
  // closed behind fewer than n bytes is not told of until they were read
  // (Windows reports a close after the bytes before it), so the wait goes on
  // until Cancel or Abort; the bytes stay in the socket. Raises EAbortError
  // "Socket send aborted" on Cancel, Abort or time-out (not armed here), or
  // the socket error.
  std::string Read(std::uint16_t count);
  // Waits, processing messages, for one line and returns it with its line
  // feed (and the CR before it, if sent); later bytes stay in the socket.
  // Arms the time-out. Empty when the peer closed or the connection ended
  // before a line feed. Raises EAbortError "Socket readln aborted" (TimedOut
  // tells a time-out from a user cancel), ESockError "Socket readln line too
  // long", or the socket error.
  std::string ReadLn();
  // Creates (or truncates) the file and writes every byte received into it
  // until the peer closes, firing OnPacketRecvd after each block with
  // BytesRecvd and BytesCaptured already counting it. The time-out limits
  // the silence, not the transfer: it is re-armed by every block, or, with a
  // MinRate, once at least MinRate bytes came since it was last armed, so that
  // a transfer receiving fewer than MinRate bytes in TimeOut ms ends as a
  // silent one does. Raises the class library's file errors, the socket
  // error, or EAbortError "Socket send aborted" (the part written stays on
  // disk).
  void CaptureFile(const std::string& fileName);
  // Drops up to 65,536 waiting bytes; never raises a socket error.
  void ClearInput();
  // Whether at least one byte is waiting; never raises.
  bool DataAvailable();
  // No more bytes will arrive: not connected (the peer's close is told once
  // the bytes before it were read). Never raises.
  bool ConnectionEnded() const { return !Connected; }

  // ---- listener
  // Binds the socket to address (dotted; the wildcard address, every
  // interface, unless given) and Port (0 = the system chooses; beyond 16 bits
  // an ERangeError), selects only FD_ACCEPT (on 1126 when secondMessage, else
  // 1125) and listens with a backlog of 1. Raises the socket error of bind
  // or listen (an address that is not one of this machine's:
  // "10049:Can't assign requested address").
  void Listen(bool secondMessage, const std::string& address = "0.0.0.0");
  // The socket's local IPv4 address, dotted ("192.168.1.20").
  std::string GetLocalAddress();
  // The socket's local IPv4 address with commas for dots ("192,168,1,20").
  std::string GetLocalAddressArg();
  // The socket's local port as ",<high byte>,<low byte>" (",19,137" for 5001).
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
  // The number of the last socket error: of a failed call, or the reason the
  // system gave for refusing a connection.
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
  // BytesRecvd in 64 bits, for what must count past 2 GiB: the bytes of the
  // current or last capture.
  std::int64_t BytesCaptured = 0;
  // The least a capture must receive in each TimeOut period (see
  // CaptureFile); 0: any byte re-arms the time-out.
  std::int32_t MinRate = 0;
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

 protected:
  // One pass of a wait on flags: sleep 2 ms, then process pending messages.
  static void SleepAndProcessMessages();

 private:
  // One pass of a receive loop that found nothing to receive: process pending
  // messages; when there were none and no cancel is pending, block until a
  // notification, a timer tick or a post arrives (nothing else could change
  // what the loop waits for) and process it. A cancel made before the wait
  // began thus ends it at once.
  void ProcessMessagesOrWait();
  // Whether an operation that armed the time-out must end: a cancel, or its
  // own time-out (a descendant's Abort, such as the FTP client's, may leave
  // Canceled alone when the time-out fires).
  bool StopRequested() const { return Canceled || TimedOut; }

  // The connect notification of the current Connect came: the wait ends even
  // when the peer's close (handled in the same pass) already cleared
  // Connected.
  bool connectNotified_ = false;
  // The host look-up whose reply has not come yet (null when none): the
  // system may still write into HostEntBuffer.
  void* lookupTask_ = nullptr;
};

// Field n (1-based) of text split at separator: consecutive separators delimit
// empty fields, the last field runs to the end, and n of 0 or less or beyond
// the fields gives an empty text. Separators are never part of a field.
std::string ExtractField(const std::string& text, char separator, int n);
