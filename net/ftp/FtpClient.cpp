// Connection, login, logout and single commands of the FTP client.
#include "net/ftp/FtpClient.h"

#include "net/socket/ReplyCode.h"

#include <exception>

TFtpClient::TFtpClient(TComponent* owner) : TTcpSocket(owner) {
  Port = 21;
  DataConnection = nullptr;
  Vendor = 2411;
  // Replies are read when the client waits for them, not when they arrive.
  OnRead = [](TObject*) {};
}

TFtpClient::~TFtpClient() {
  // The socket layer's destructor aborts too, but from there only its own
  // Abort is reachable; a running download's data connection is ours.
  try {
    Abort();
    Cancel();
  } catch (...) {
  }
}

bool TFtpClient::IsContinuationLine(const std::string& line) {
  if (line.empty()) return false;
  return line[0] == ' ' || (line.size() >= 4 && line[3] == '-');
}

void TFtpClient::ReadContinuationLines(const std::string& line) {
  std::string current = line;
  while (IsContinuationLine(current)) {
    current = ReadLn();
    StatusMessage(1, current);
  }
}

std::string TFtpClient::Transaction(const std::string& command) {
  std::string reply = TTcpSocket::Transaction(command);
  ReadContinuationLines(reply);
  return reply;
}

void TFtpClient::Abort() {
  if (DataConnection) DataConnection->Cancel();
}

void TFtpClient::FireConnectionFailed() {
  if (OnConnectionFailed.Assigned()) OnConnectionFailed(this);
}

void TFtpClient::Connect() {
  Canceled = false;
  if (Connected) return;
  ClearInput();
  TTcpSocket::Connect();
  try {
    LogIn();
  } catch (...) {
    // A server that let a wait time out is not asked for a QUIT reply it
    // would keep back just as long.
    if (TimedOut) TTcpSocket::Disconnect();
    else Disconnect();
    StatusMessage(1, "Disconnected");
    throw;
  }
}

void TFtpClient::LogIn() {
  // The greeting: at least one line, every line reported.
  std::string first;
  std::string line;
  bool firstLine = true;
  do {
    line = ReadLn();
    StatusMessage(1, line);
    if (firstLine) first = line;
    firstLine = false;
  } while (IsContinuationLine(line));
  if (ReplyCode(first) > 400) {
    FireConnectionFailed();
    throw FTPException(first);
  }

  auto refused = [this] { return ReplyNumber > 400 && ReplyNumber < 600; };
  if (FWAuthenticate) {
    Transaction("USER " + FWUserID);
    if (refused()) {
      FireConnectionFailed();
      throw FTPException(TransactionReply);
    }
    if (ReplyNumber == 331) {
      StatusMessage(1, "PASS ");
      Transaction("PASS " + FWPassword);
      if (refused()) {
        FireConnectionFailed();
        throw FTPException(TransactionReply);
      }
    }
  }

  if ((UserID.empty() || Password.empty()) && OnAuthenticationNeeded.Assigned()) {
    bool handled = false;
    OnAuthenticationNeeded(handled);
  }

  if (!Proxy.empty()) {
    switch (FirewallType) {
      case TFirewallType::FTUser: Transaction("USER " + UserID + "@" + Host); break;
      case TFirewallType::FtOpen: Transaction("OPEN " + Host); break;
      case TFirewallType::FtSite: Transaction("SITE " + Host); break;
    }
  }

  if (Proxy.empty() || FirewallType != TFirewallType::FTUser) {
    const std::string user = "USER " + UserID;
    StatusMessage(1, user);
    Transaction(user);
    if (refused()) {
      FireConnectionFailed();
      throw FTPException(TransactionReply);
    }
  }

  if (ReplyNumber == 331) {
    StatusMessage(1, "PASS ");  // the password itself is never reported
    Transaction("PASS " + Password);
    if (refused()) {
      FireConnectionFailed();
      throw FTPException(TransactionReply);
    }
  }

  if (OnConnect.Assigned()) OnConnect(this);
}

void TFtpClient::Disconnect() {
  Canceled = false;
  if (!Connected) return;
  StatusMessage(1, "QUIT");
  std::exception_ptr failure;
  try {
    Vendor = 2411;
    if (DataAvailable()) Read(0);
    Transaction("QUIT");
    if (ReplyNumber > 300 && ReplyNumber < 600) throw FTPException(TransactionReply);
  } catch (...) {
    failure = std::current_exception();
  }
  TTcpSocket::Disconnect();
  if (failure) std::rethrow_exception(failure);
}

TCmdType TFtpClient::CommandType(const std::string& command) {
  const std::string firstWord = command.substr(0, command.find(' ')) + " ";
  if (firstWord == "CWD ") return TCmdType::ctChangeDir;
  if (firstWord == "DELE ") return TCmdType::ctDelete;
  if (firstWord == "MKD ") return TCmdType::ctMakeDir;
  if (firstWord == "RMD ") return TCmdType::ctRemoveDir;
  if (command == "PWD") return TCmdType::ctCurrentDir;
  return TCmdType::ctCommand;
}

void TFtpClient::ExecuteCommand(const std::string& command) {
  const TCmdType kind = CommandType(command);
  Canceled = false;
  CheckConnection();
  StatusMessage(1, command);
  // A reply line left over from an earlier exchange must not be taken for
  // this command's reply.
  if (DataAvailable()) Read(0);
  Transaction(command);
  if (ReplyNumber >= 400 && ReplyNumber <= 599) {
    if (OnUnSupportedFunction.Assigned() && ReplyNumber >= 500 && ReplyNumber <= 502) OnUnSupportedFunction(kind);
    if (!OnFailure.Assigned()) throw FTPException(TransactionReply);
    bool handled = false;
    OnFailure(handled, kind);
    if (!handled) throw FTPException(TransactionReply);
    return;
  }
  if (OnSuccess.Assigned()) OnSuccess(kind);
}

void TFtpClient::ChangeDirectory(const std::string& directory) { ExecuteCommand("CWD " + directory); }

void TFtpClient::SetTransferType(int type) {
  switch (type) {
    case TypeAscii: ExecuteCommand("TYPE A"); break;
    case TypeImage: ExecuteCommand("TYPE I"); break;
    case TypeLocal8: ExecuteCommand("TYPE L 8"); break;
    default: break;
  }
}
