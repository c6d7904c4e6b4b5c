// TFtpClient: an FTP client whose own socket is the control connection.
//
// Every command goes through Transaction: the command line with CR LF, then
// the reply. A reply is one or more lines; a line is a continuation line
// (another line of the same reply follows) when it begins with a space or its
// fourth character is "-". Only the first line gives the reply code
// (ReplyNumber) and the text callers see; further lines are reported at
// status level 1 and dropped.
//
// Failures raise exceptions: FTPException with the server's reply line
// (terminator included) when the server refuses, the socket layer's
// ESockError/EAbortError when the connection fails, the class library's
// errors otherwise. Every wait pumps the application's messages.
#pragma once

#include "net/socket/TcpSocket.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

class FTPException : public Exception {
 public:
  using Exception::Exception;
};

// The kinds of commands reported to OnSuccess, OnFailure and
// OnUnSupportedFunction. Only the kinds this client produces are named.
enum class TCmdType : std::uint8_t {
  ctChangeDir = 0,
  ctMakeDir = 1,
  ctDelete = 2,
  ctRemoveDir = 3,
  ctDownload = 9,
  ctCommand = 14,
  ctCurrentDir = 15,
};

// How the login passes a firewall or proxy when Proxy is set.
enum class TFirewallType : std::uint8_t { FTUser = 0, FtOpen = 1, FtSite = 2 };

// Arguments of SetTransferType.
constexpr int TypeAscii = 1;   // "TYPE A"
constexpr int TypeImage = 2;   // "TYPE I"
constexpr int TypeLocal8 = 3;  // "TYPE L 8"

// Handled is passed by reference: a handler that sets it makes the failed
// operation return normally.
using TFailureEvent = TEvent<bool&, TCmdType>;
using TSuccessEvent = TEvent<TCmdType>;
using TUnsupportedEvent = TEvent<TCmdType>;
using TListItemEvent = TEvent<const std::string&>;

class TFtpClient : public TTcpSocket {
 public:
  // Port 21, no data connection, Vendor 2411.
  explicit TFtpClient(TComponent* owner);
  // Cancels; sends no QUIT.
  ~TFtpClient() override;

  // Opens the control connection to Host:Port (or Proxy:ProxyPort), reads the
  // greeting and logs in: optionally the firewall's USER/PASS
  // (FWAuthenticate), then by FirewallType when Proxy is set ("USER
  // user@host", "OPEN host" or "SITE host", reply not tested), then
  // "USER <UserID>" and, after a 331, "PASS <Password>". Fires OnConnect once
  // logged in, before returning. A greeting above 400 or a USER/PASS reply of
  // 401..599 fires OnConnectionFailed and raises FTPException with that line.
  // Any failure after the connection was opened (also one raised by the
  // OnConnect handler) sends QUIT (not after a time-out: the server is not
  // waited for again), closes the connection, reports "Disconnected" and
  // raises again. A time-out of any wait, the greeting's and the replies'
  // included, raises EAbortError with TimedOut set. Does nothing when
  // already connected.
  void Connect() override;
  // Sends QUIT and closes the control connection (firing OnDisconnect).
  // Raises FTPException when QUIT is answered 301..599, after closing. Does
  // nothing when not connected.
  void Disconnect() override;
  // The socket layer's Transaction, then ReadContinuationLines; returns the
  // first reply line.
  std::string Transaction(const std::string& command) override;
  // Cancels the running download's data connection; the control connection
  // is not touched. (The time-out calls this too; a wait on the control
  // connection still ends by its own TimedOut.)
  void Abort() override;

  // Reads and reports (level 1) the rest of a reply whose current line is
  // line.
  void ReadContinuationLines(const std::string& line);

  // Sends command and judges its reply: 400..599 is a failure (500..502 fire
  // OnUnSupportedFunction first), then OnFailure decides or FTPException with
  // the reply line is raised; anything else fires OnSuccess. A stray reply
  // line pending from an earlier exchange is discarded first. Raises
  // Exception "Not Connected" (nothing sent) when not connected.
  void ExecuteCommand(const std::string& command);
  // "CWD <directory>", the directory unchanged.
  void ChangeDirectory(const std::string& directory);
  // TypeAscii, TypeImage or TypeLocal8; any other value sends nothing.
  void SetTransferType(int type);

  // Retrieves RemoteFile ("RETR <RemoteFile>") over a data connection (PORT,
  // listening on the control connection's local address only, or PASV when
  // Passive) into LocalFile (RemoteFile's text when LocalFile is
  // empty), replacing an existing file. BytesTotal holds the size announced
  // in the RETR reply during the transfer (0 when none), the received count
  // afterwards. Fires OnTransactionStart, OnPacketRecvd per block (sender:
  // the data connection), OnTransactionStop when the data connection is
  // drained and again after the end-of-transfer reply, then OnSuccess.
  // Fails with FTPException when PASV is answered 500 or more, PORT or RETR
  // 301..599, the end-of-transfer reply is not a positive completion (2xx),
  // the control connection closes before that reply (also before the RETR
  // reply, or before the server opened the data connection: the wait for it
  // ends then), or fewer bytes arrive than the RETR reply states (see
  // AnnouncedTransferSize); with the socket layer's errors when the data
  // connection fails or a wait outlasts TimeOut (in active mode also the
  // wait for the server to open the data connection), or the transfer brings
  // fewer than MinRate bytes in a TimeOut period. OnFailure may declare
  // a failure handled. A partly written file stays.
  void Download(const std::string& remoteFile, const std::string& localFile);

  // The data connection's counters during a download; those of the last
  // download afterwards.
  std::int32_t BytesRecvd() const;
  std::int32_t BytesSent() const;
  // BytesRecvd in 64 bits: it goes on counting past 2 GiB.
  std::int64_t BytesCaptured() const;
  // Whether a wait of the data connection ended by its time-out.
  bool DataTimedOut() const;

  // The kind of a command text: first word (before the first blank) CWD, DELE,
  // MKD or RMD; the whole text PWD; any other command. Case-sensitive.
  static TCmdType CommandType(const std::string& command);
  // Whether another line of the same reply follows line.
  static bool IsContinuationLine(const std::string& line);
  // The size announced in a reply line: the run of digits nearest before the
  // first "BYTE" (any case), 0 when there is none or it does not fit 32 bits.
  static std::int32_t ExtractTransferSize(const std::string& line);
  // The size a RETR reply line states beyond doubt: the count of a "(N
  // bytes)" that ends its text (before an optional full stop and the line
  // end), "bytes" in any case, of at most 18 digits; none for any other line.
  // The download's completeness check uses this, never ExtractTransferSize,
  // which also finds digits inside a file name and stops at 32 bits.
  static std::optional<std::int64_t> AnnouncedTransferSize(const std::string& line);
  // The completeness check: whether received bytes are all that the RETR
  // reply announced (true when it announced nothing).
  static bool ReceivedWhole(std::optional<std::int64_t> announced, std::int64_t received);
  // The data port a PASV reply names ("227 Entering Passive Mode
  // (h1,h2,h3,h4,p1,p2)"): field 6 cut before its first ")" plus 256 x field
  // 5, both strictly converted. Raises EConvertError when a field is missing
  // or not an integer (also field 6 without ")"), ERangeError when the port
  // is outside 0..65535.
  static std::int32_t PassivePort(const std::string& reply);

  // ---- fields, in declaration order
  std::string UserID;
  std::string Password;
  bool Passive = false;
  TTcpSocket* DataConnection = nullptr;  // owned; only during Download
  TNotifyEvent OnTransactionStart;
  TNotifyEvent OnTransactionStop;
  TSuccessEvent OnSuccess;
  TFailureEvent OnFailure;
  THandlerEvent OnAuthenticationNeeded;
  THandlerEvent OnAuthenticationFailed;  // stored; never fired
  TListItemEvent OnListItem;             // stored; never fired
  // Fired once the login has succeeded. The socket layer's own connect slot
  // (TTcpSocket::OnConnect) stays unassigned.
  TNotifyEvent OnConnect;
  TUnsupportedEvent OnUnSupportedFunction;
  std::int32_t Vendor = 2411;  // stored; reset to 2411 by Disconnect
  bool ParseList = false;      // stored only
  TFirewallType FirewallType = TFirewallType::FTUser;
  std::string FWUserID;
  std::string FWPassword;
  bool FWAuthenticate = false;

 private:
  // A refused PASV, PORT or RETR: true when OnFailure declared it handled
  // (the download then ends normally without OnSuccess); raises otherwise.
  bool ReplyFailure(const std::string& line);
  void FireConnectionFailed();
  void LogIn();
  void ReceiveFile(const std::string& remoteFile, const std::string& localFile, bool& succeeded);

  std::recursive_mutex lock_;
  std::int32_t lastBytesRecvd_ = 0;
  std::int64_t lastBytesCaptured_ = 0;
  bool lastDataTimedOut_ = false;
  std::int32_t lastBytesSent_ = 0;
};
