// Downloads over a second connection, the data connection.
#include "net/ftp/FtpClient.h"

#include "net/socket/ReplyCode.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <string_view>

std::int32_t TFtpClient::ExtractTransferSize(const std::string& line) {
  const std::size_t bytesWord = UpperCase(line).find("BYTE");
  if (bytesWord == std::string::npos) return 0;
  auto isDigit = [&](std::size_t i) { return line[i] >= '0' && line[i] <= '9'; };
  std::size_t end = bytesWord;  // one past the last digit of the run
  while (end > 0 && !isDigit(end - 1)) --end;
  if (end == 0) return 0;
  std::size_t begin = end;
  while (begin > 0 && isDigit(begin - 1)) --begin;
  if (end - begin > 255) end = begin + 255;
  std::int64_t value = 0;
  for (std::size_t i = begin; i < end; ++i) {
    value = value * 10 + (line[i] - '0');
    if (value > INT32_MAX) return 0;
  }
  return static_cast<std::int32_t>(value);
}

std::optional<std::int64_t> TFtpClient::AnnouncedTransferSize(const std::string& line) {
  // The reply's text without its line end, spaces and final full stop.
  std::size_t end = line.size();
  while (end > 0 && (line[end - 1] == '\r' || line[end - 1] == '\n' || line[end - 1] == ' ')) --end;
  if (end > 0 && line[end - 1] == '.') --end;
  constexpr std::string_view kTail = " BYTES)";
  if (end < kTail.size() || UpperCase(line.substr(end - kTail.size(), kTail.size())) != kTail) return std::nullopt;
  const std::size_t digitsEnd = end - kTail.size();
  std::size_t begin = digitsEnd;
  while (begin > 0 && std::isdigit(static_cast<unsigned char>(line[begin - 1]))) --begin;
  if (begin == digitsEnd || begin == 0 || line[begin - 1] != '(' || digitsEnd - begin > 18) return std::nullopt;
  return std::stoll(line.substr(begin, digitsEnd - begin));
}

bool TFtpClient::ReceivedWhole(std::optional<std::int64_t> announced, std::int64_t received) {
  return !announced || received >= *announced;
}

std::int32_t TFtpClient::PassivePort(const std::string& reply) {
  std::string low = ExtractField(reply, ',', 6);
  const std::size_t paren = low.find(')');
  low = paren == std::string::npos ? std::string() : low.substr(0, paren);
  const std::int64_t high = StrToInt(ExtractField(reply, ',', 5));
  // Each field is any 32-bit integer: the sum is formed in 64 bits, and a
  // port that cannot exist is refused rather than cut to 16 bits.
  const std::int64_t port = StrToInt(low) + 256 * high;
  if (port < 0 || port > 65535) throw ERangeError();
  return static_cast<std::int32_t>(port);
}

std::int32_t TFtpClient::BytesRecvd() const {
  return DataConnection ? DataConnection->BytesRecvd : lastBytesRecvd_;
}

std::int32_t TFtpClient::BytesSent() const { return DataConnection ? DataConnection->BytesSent : lastBytesSent_; }

std::int64_t TFtpClient::BytesCaptured() const {
  return DataConnection ? DataConnection->BytesCaptured : lastBytesCaptured_;
}

bool TFtpClient::DataTimedOut() const { return DataConnection ? DataConnection->TimedOut : lastDataTimedOut_; }

bool TFtpClient::ReplyFailure(const std::string& line) {
  if (!OnFailure.Assigned()) throw FTPException(line);
  bool handled = false;
  OnFailure(handled, TCmdType::ctDownload);
  if (handled) return true;
  throw FTPException(line);
}

void TFtpClient::Download(const std::string& remoteFile, const std::string& localFile) {
  try {
    Canceled = false;
    CheckConnection();
    std::lock_guard lock(lock_);
    // Whatever happened: the data connection goes, its counters stay readable,
    // and a cancel of the control connection is answered with ABOR.
    auto cleanUp = [this] {
      if (DataConnection) {
        lastBytesRecvd_ = DataConnection->BytesRecvd;
        lastBytesCaptured_ = DataConnection->BytesCaptured;
        lastDataTimedOut_ = DataConnection->TimedOut;
        lastBytesSent_ = DataConnection->BytesSent;
        delete DataConnection;
        DataConnection = nullptr;
      }
      if (Canceled) {
        Canceled = false;
        Transaction("ABOR");
      }
    };
    bool succeeded = false;
    try {
      ReceiveFile(remoteFile, localFile, succeeded);
    } catch (...) {
      cleanUp();
      throw;
    }
    cleanUp();
    if (succeeded && OnSuccess.Assigned()) OnSuccess(TCmdType::ctDownload);
  } catch (const std::exception&) {
    if (!OnFailure.Assigned()) throw;
    bool handled = false;
    OnFailure(handled, TCmdType::ctDownload);
    if (!handled) throw;
  }
}

void TFtpClient::ReceiveFile(const std::string& remoteFile, const std::string& localFile, bool& succeeded) {
  if (DataAvailable()) Read(0);

  DataConnection = new TTcpSocket(this);
  DataConnection->TimeOut = TimeOut;
  DataConnection->MinRate = MinRate;
  if (OnPacketRecvd.Assigned()) DataConnection->OnPacketRecvd = OnPacketRecvd;

  if (Passive) {
    Transaction("PASV");
    if (ReplyNumber > 499 && ReplyFailure(TransactionReply)) return;
    // The address of the reply is not used: the data connection goes to the
    // server we are talking to.
    DataConnection->Port = PassivePort(TransactionReply);
    DataConnection->Host = Host;
    DataConnection->Connect();
  } else {
    DataConnection->Port = 0;
    // Reachable exactly where the server connects to, and nowhere else: the
    // address of the control connection's local end, not every interface.
    DataConnection->Listen(true, GetLocalAddress());
    Transaction("PORT " + GetLocalAddressArg() + DataConnection->GetLocalPortArg());
    if (ReplyNumber > 300 && ReplyNumber < 600 && ReplyFailure(TransactionReply)) return;
  }

  StatusMessage(1, "RETR " + remoteFile);
  BytesTotal = 0;
  std::string line = TTcpSocket::Transaction("RETR " + remoteFile);
  if (ReplyNumber > 300 && ReplyNumber < 600 && ReplyFailure(line)) return;
  // No reply at all: the server hung up, and no data will come.
  if (line.empty()) throw FTPException("Connection closed before the transfer of " + remoteFile);
  BytesTotal = ExtractTransferSize(line);
  while (IsContinuationLine(line)) {
    line = ReadLn();
    StatusMessage(1, line);
    if (BytesTotal == 0) BytesTotal = ExtractTransferSize(line);
  }

  if (!Passive) {
    // The server connects to us; one that hung up the control connection
    // instead never will, so the wait ends then too. The data connection's
    // time-out limits the wait like any other (Accept then raises "Accepting
    // Canceled").
    DataConnection->TimerOn();
    while (!DataConnection->EventArrived && !DataConnection->Canceled && !(ConnectionEnded() && !DataAvailable()))
      SleepAndProcessMessages();
    if (!DataConnection->EventArrived && !DataConnection->Canceled)
      throw FTPException("Connection closed before the transfer of " + remoteFile);
    const std::uint16_t listening = DataConnection->SocketHandle;
    DataConnection->SocketHandle = DataConnection->Accept();
    DataConnection->TimerOff();
    DataConnection->DiscardSocket(listening);
  }

  BytesTotal = ExtractTransferSize(line);
  // The completeness check trusts only a size the reply states beyond doubt;
  // BytesTotal may have come from digits inside a file or folder name.
  const std::optional<std::int64_t> announced = AnnouncedTransferSize(line);
  if (OnTransactionStart.Assigned()) OnTransactionStart(this);

  if (!Canceled && !TimedOut) DataConnection->CaptureFile(localFile.empty() ? remoteFile : localFile);
  if (OnTransactionStop.Assigned()) OnTransactionStop(this);
  DataConnection->RequestCloseSocket();
  BytesTotal = DataConnection->BytesRecvd;
  StatusMessage(1, "Received " + IntToStr(BytesTotal) + " Bytes");

  if (!Canceled && !TimedOut) {
    line = ReadLn();
    StatusMessage(1, line);
    ReadContinuationLines(line);
    // The transfer counts only when the server says it completed and every
    // announced byte arrived; a truncated file must not pass for the whole.
    if (line.empty())
      throw FTPException("Connection closed before the end of the transfer of " + remoteFile);
    const int code = ReplyCode(line);
    if (code < 200 || code > 299) throw FTPException(line);
    const std::int64_t received = DataConnection->BytesCaptured;
    if (!ReceivedWhole(announced, received))
      throw FTPException(Format("Transfer of %s incomplete: %lld of %lld bytes received", remoteFile.c_str(),
                                static_cast<long long>(received), static_cast<long long>(*announced)));
  } else {
    StatusMessage(1, line);
  }

  if (OnTransactionStop.Assigned()) OnTransactionStop(this);
  succeeded = true;
}
