// The socket component's core: construction, status reports, cancellation.
#include "net/socket/TcpSocket.h"

#include "platform/Win32.h"

TTcpSocket::TTcpSocket(TComponent* owner) : TComponent(owner) {
  StatusMessage(8, "Create");
  Proxy.clear();
  HostEntBuffer = std::make_unique<char[]>(1024);
  Timer = new TThreadTimer(this);
  Timer->SetEnabled(false);
  Timer->SetOnTimer(TNotifyEvent(this, &TTcpSocket::TimerTriggered));
  TimeOut = 0;
  WSAInfo = new TStringList();
  Canceled = false;
  Destroying = false;
  Connected = false;
  InitWinsock();
}

TTcpSocket::~TTcpSocket() {
  SetStateFlag(TComponentStateFlag::csDestroying, true);
  try {
    StatusMessage(8, "Destroy");
    Cancel();
  } catch (...) {
  }
  delete WSAInfo;
  WSAInfo = nullptr;
  Destroying = true;
}

void TTcpSocket::StatusMessage(std::uint8_t level, const std::string& text) {
  if (level > ReportLevel) return;
  try {
    Status = text;
    if (!Destroying && !TComponent::Destroying() && OnStatus.Assigned()) OnStatus(this, Status);
  } catch (...) {
    // A status report never breaks the operation that made it.
  }
}

void TTcpSocket::InitWinsock() { StatusMessage(8, "Initializing Winsock"); }

void TTcpSocket::Cancel() {
  StatusMessage(8, "Canceling");
  Canceled = true;
}

void TTcpSocket::Abort() {
  StatusMessage(8, "Abort");
  Cancel();
}

// The connection and stream operations follow with the socket emulation.
std::uint16_t TTcpSocket::Accept() { throw ESockError("Accepting Canceled"); }
void TTcpSocket::Connect() { throw ESockError("Connection Failed"); }
void TTcpSocket::Disconnect() { StatusMessage(8, "Disconnecting"); }
std::string TTcpSocket::Transaction(const std::string&) { return {}; }
