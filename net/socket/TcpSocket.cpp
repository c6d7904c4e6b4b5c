// The socket component's core: construction and destruction, Windows sockets
// start-up, the hidden window and its messages, status reports, resolving,
// connecting, closing and cancelling.
#include "net/socket/TcpSocket.h"

#include "classlib/Application.h"
#include "net/socket/HiddenWindow.h"
#include "platform/Win32.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

// RemoteAddress is handed to Windows sockets as it is.
static_assert(sizeof(TSockAddrIn) == sizeof(sockaddr_in));
static_assert(offsetof(TSockAddrIn, sin_port) == offsetof(sockaddr_in, sin_port));
static_assert(offsetof(TSockAddrIn, sin_addr) == offsetof(sockaddr_in, sin_addr));
static_assert(offsetof(TSockAddrIn, sin_zero) == offsetof(sockaddr_in, sin_zero));
// WSAData is copied field by field: 64-bit Windows orders WSADATA's fields
// otherwise than 32-bit Windows does.
static_assert(sizeof(TWSAData::szDescription) == sizeof(WSADATA::szDescription));
static_assert(sizeof(TWSAData::szSystemStatus) == sizeof(WSADATA::szSystemStatus));
static_assert(kSocketMessage == WM_USER + 101 && kSocketAsyncMessage == WM_USER + 102);
static_assert(kSocketEventMask == (FD_READ | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE));

namespace {

// Started instances in the process: Windows sockets are started by the first
// and released with the last.
int gStartupCount = 0;

constexpr const char* kWindowClassName = "TcpSocketWindowClass";

LRESULT CALLBACK SocketWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* socket = reinterpret_cast<TTcpSocket*>(GetWindowLongPtrA(hwnd, 0));
  // Only these two are ours: registered messages above them (the taskbar's,
  // broadcast to every top-level window) reach this window too.
  if (socket && (msg == kSocketMessage || msg == kSocketAsyncMessage)) {
    socket->HandleSocketMessage(msg, wParam, lParam);
    return 0;
  }
  if (!socket && msg == kSocketAsyncMessage) {
    // The reply of a look-up that outlived its component (see the
    // destructor): the system is done with the buffer it kept.
    delete[] reinterpret_cast<char*>(GetWindowLongPtrA(hwnd, kHiddenWindowSpare));
    DestroyWindow(hwnd);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A socket handle in the component's 16 bits, or kNoSocket (a socket that
// does not fit is closed).
std::uint16_t Fit16(SOCKET s) {
  if (s == INVALID_SOCKET) return kNoSocket;
  if (s >= kNoSocket) {
    closesocket(s);
    return kNoSocket;
  }
  return static_cast<std::uint16_t>(s);
}

std::string FixedText(const char* text, std::size_t size) { return std::string(text, strnlen(text, size)); }

}  // namespace

TTcpSocket::TTcpSocket(TComponent* owner) : TComponent(owner) {
  StatusMessage(8, "Create");
  WindowHandle = CreateHiddenWindow(kWindowClassName, &SocketWindowProc, this);
  if (!WindowHandle) throw ESockError("Socket window could not be created");
  Proxy.clear();
  HostEntBuffer = std::make_unique<char[]>(MAXGETHOSTSTRUCT);
  Timer = new TThreadTimer(this);
  Timer->SetEnabled(false);
  Timer->SetOnTimer(TNotifyEvent(this, &TTcpSocket::TimerTriggered));
  TimeOut = 0;
  WSAInfo = new TStringList();
  Canceled = false;
  Destroying = false;
  Connected = false;
  try {
    InitWinsock();
  } catch (...) {
    // No destructor runs for a constructor that raised; the base frees Timer.
    delete WSAInfo;
    WSAInfo = nullptr;
    DestroyWindow(WindowHandle);
    WindowHandle = nullptr;
    throw;
  }
}

TTcpSocket::~TTcpSocket() {
  SetStateFlag(TComponentStateFlag::csDestroying, true);
  try {
    StatusMessage(8, "Destroy");
    Abort();
    Cancel();
  } catch (...) {
  }
  delete WSAInfo;
  WSAInfo = nullptr;
  delete Timer;
  Timer = nullptr;
  if (WindowHandle) {
    SetWindowLongPtrA(WindowHandle, 0, 0);
    if (lookupTask_) {
      // Windows writes a look-up's host entry into the buffer before it
      // posts the reply, whether the component still lives or not: the
      // window keeps the buffer until the reply comes, then goes with it.
      SetWindowLongPtrA(WindowHandle, kHiddenWindowSpare, reinterpret_cast<LONG_PTR>(HostEntBuffer.release()));
    } else {
      DestroyWindow(WindowHandle);  // drops the window's queued messages too
    }
    WindowHandle = nullptr;
  }
  HostEntBuffer.reset();
  Destroying = true;
  if (!Designing()) {
    try {
      RequestCloseSocket();
    } catch (...) {
    }
    if (gStartupCount > 0 && --gStartupCount == 0) WSACleanup();
  }
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

void TTcpSocket::InitWinsock() {
  StatusMessage(8, "Initializing Winsock");
  if (Designing()) return;
  ++gStartupCount;
  try {
    if (gStartupCount == 1) {
      WSADATA started{};
      WSAStartup(MAKEWORD(1, 1), &started);
      WSAData.wVersion = started.wVersion;
      WSAData.wHighVersion = started.wHighVersion;
      std::memcpy(WSAData.szDescription, started.szDescription, sizeof WSAData.szDescription);
      std::memcpy(WSAData.szSystemStatus, started.szSystemStatus, sizeof WSAData.szSystemStatus);
      WSAData.iMaxSockets = started.iMaxSockets;
      WSAData.iMaxUdpDg = started.iMaxUdpDg;
      WSAData.lpVendorInfo = started.lpVendorInfo;
      auto version = [](std::uint16_t v) { return IntToStr(HIBYTE(v)) + "." + IntToStr(LOBYTE(v)); };
      WSAInfo->Add("Version= " + version(WSAData.wVersion));
      WSAInfo->Add("High Version= " + version(WSAData.wHighVersion));
      WSAInfo->Add("Description= " + FixedText(WSAData.szDescription, sizeof WSAData.szDescription));
      WSAInfo->Add("System= " + FixedText(WSAData.szSystemStatus, sizeof WSAData.szSystemStatus));
      WSAInfo->Add("Max Sockets= " + IntToStr(WSAData.iMaxSockets));
      WSAInfo->Add("Max Udp pack size= " + IntToStr(WSAData.iMaxUdpDg));
    }
    SocketHandle = Fit16(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (SocketHandle == kNoSocket) {
      std::string text;
      CheckSocketError(WSAEWOULDBLOCK, text);
      throw ESockError("no socket");
    }
    // Closing resets the connection at once.
    const linger noLinger{1, 0};
    setsockopt(SocketHandle, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&noLinger), sizeof noLinger);
    if (WSAAsyncSelect(SocketHandle, WindowHandle, kSocketMessage, kSocketEventMask) == SOCKET_ERROR)
      throw ESockError("no notifications");
  } catch (...) {
    if (SocketHandle != kNoSocket) {
      closesocket(SocketHandle);
      SocketHandle = kNoSocket;
    }
    if (--gStartupCount == 0) WSACleanup();
    throw ESockError("Initializaton of windows sockets failed");
  }
}

void TTcpSocket::HandleSocketMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  // A notification of another socket: one whose handle the component no
  // longer holds.
  if (msg == kSocketMessage && wParam != SocketHandle) return;
  try {
    Succeeded = WSAGETSELECTERROR(lParam) == 0;
    if (msg == kSocketMessage) {
      switch (WSAGETSELECTEVENT(lParam)) {
        case FD_READ:
          if (OnRead.Assigned()) OnRead(this);
          break;
        case FD_ACCEPT:
          Connected = true;
          if (OnAccept.Assigned()) OnAccept(this);
          break;
        case FD_CONNECT:
          // A failed connect changes nothing else here: Connect sees
          // Succeeded, and LastErrorNo says why.
          connectNotified_ = true;
          if (!Succeeded) LastErrorNo = WSAGETSELECTERROR(lParam);
          if (Succeeded) {
            Connected = true;
            if (OnConnect.Assigned()) OnConnect(this);
          }
          break;
        case FD_CLOSE:
          // The system tells of a graceful close only once the bytes before it
          // were read; should some still wait, the reader meets the end of the
          // stream itself.
          if (!DataAvailable()) RequestCloseSocket();
          break;
        default:
          break;
      }
    } else if (msg == kSocketAsyncMessage) {
      if (reinterpret_cast<HANDLE>(wParam) == lookupTask_) lookupTask_ = nullptr;
      EventArrived = true;
      // For a look-up the low word is the length of the host entry.
      if (WSAGETSELECTEVENT(lParam) == FD_ACCEPT) {
        Connected = true;
        if (OnAccept.Assigned()) OnAccept(this);
      }
    }
  } catch (...) {
    // Notifications never break the message loop.
  }
}

void TTcpSocket::SleepAndProcessMessages() {
  Sleep(2);
  Application->ProcessMessages();
}

void TTcpSocket::ProcessMessagesOrWait() {
  if (Application->ProcessMessages() || Canceled) return;
  WaitMessage();
  Application->ProcessMessages();
}

void TTcpSocket::ResolveHost() {
  StatusMessage(8, "Resolve Host");
  const std::string& name = Proxy.empty() ? Host : Proxy;
  const std::size_t length = std::min(name.size(), kSocketBufferSize);
  std::memcpy(Buffer, name.data(), length);
  Buffer[length] = '\0';
  RemoteAddress.sin_addr = inet_addr(Buffer);
  // A dotted address ("0.0.0.0" included) needs no look-up.
  if (RemoteAddress.sin_addr != INADDR_NONE) return;
  RemoteAddress.sin_addr = 0;
  TimerOn();
  EventArrived = false;
  lookupTask_ = WSAAsyncGetHostByName(WindowHandle, kSocketAsyncMessage, Buffer, HostEntBuffer.get(), MAXGETHOSTSTRUCT);
  if (!lookupTask_) {
    // No reply would ever come.
    Succeeded = false;
    EventArrived = true;
  }
  while (!EventArrived && !TimedOut && !Canceled) SleepAndProcessMessages();
  TimerOff();
  if (TimedOut) throw ESockError("Host Lookup Timed Out");
  if (Canceled) throw ESockError("Host Lookup Canceled");
  if (!Succeeded) throw ESockError("Host Lookup Failed");
  hostent entry;
  std::memcpy(&entry, HostEntBuffer.get(), sizeof entry);
  if (!entry.h_addr_list || !entry.h_addr_list[0]) throw ESockError("Host Lookup Failed");
  std::memcpy(&RemoteAddress.sin_addr, entry.h_addr_list[0], sizeof RemoteAddress.sin_addr);
  if (OnHostResolved.Assigned()) OnHostResolved(this);
}

void TTcpSocket::Connect() {
  StatusMessage(8, "Connecting");
  Canceled = false;
  if (Connected) throw ESockError("Already connected");
  int retries = 0;
  for (;;) {
    try {
      ResolveHost();
    } catch (const ESockError& e) {
      if (e.Message() == "Host Lookup Timed Out" || e.Message() == "Host Lookup Canceled") throw;
      // A failed look-up leaves the address 0: the host is invalid.
    }
    if (RemoteAddress.sin_addr != 0) break;
    if (retries > 0 || !OnInvalidHost.Assigned()) throw ESockError("Null Remote Address");
    bool handled = false;
    OnInvalidHost(handled);
    if (!handled) throw ESockError("Null Remote Address");
    ++retries;
  }
  // A port that cannot exist is refused, not cut to 16 bits (OnInvalidHost
  // may have set it).
  const std::int32_t port = Proxy.empty() ? Port : ProxyPort;
  if (port < 0 || port > 65535) throw ERangeError();
  RemoteAddress.sin_family = AF_INET;
  RemoteAddress.sin_port = htons(static_cast<unsigned short>(port));
  EventArrived = false;
  Succeeded = true;
  connectNotified_ = false;
  if (connect(SocketHandle, reinterpret_cast<const sockaddr*>(&RemoteAddress), sizeof RemoteAddress) ==
      SOCKET_ERROR) {
    std::string text;
    CheckSocketError(WSAEWOULDBLOCK, text);  // would-block is the normal answer
  }
  TimerOn();
  while (!Connected && !connectNotified_ && !TimedOut && !Canceled && Succeeded) SleepAndProcessMessages();
  TimerOff();
  if (!TimedOut && !Canceled && Succeeded) return;
  if (OnConnectionFailed.Assigned()) OnConnectionFailed(this);
  if (TimedOut) throw ESockError("Connection Timed out");
  if (Canceled) throw ESockError("Connection Canceled");
  throw ESockError("Connection Failed");
}

void TTcpSocket::Disconnect() {
  StatusMessage(8, "Disconnecting");
  RequestCloseSocket();
}

void TTcpSocket::Cancel() {
  StatusMessage(8, "Canceling");
  Canceled = true;
}

void TTcpSocket::Abort() {
  StatusMessage(8, "Abort");
  Cancel();
}

void TTcpSocket::CheckConnection() {
  StatusMessage(8, "Checking Connection");
  bool offered = false;
  while (!Connected) {
    if (offered || !OnConnectionRequired.Assigned()) throw Exception("Not Connected");
    offered = true;
    bool handled = false;
    OnConnectionRequired(handled);
    if (!handled) throw Exception("Not Connected");
  }
}

void TTcpSocket::RequestCloseSocket() {
  StatusMessage(4, "Request Close Socket");
  Connected = false;
  if (SocketHandle == kNoSocket) return;
  if (DiscardSocket(SocketHandle) == SOCKET_ERROR) {
    std::string text;
    CheckSocketError(WSAEWOULDBLOCK, text);
    return;
  }
  SocketHandle = kNoSocket;
  auto openFresh = [this] {
    if (Destroying) return;
    SocketHandle = Fit16(socket(AF_INET, SOCK_STREAM, 0));
    if (SocketHandle != kNoSocket) WSAAsyncSelect(SocketHandle, WindowHandle, kSocketMessage, kSocketEventMask);
  };
  try {
    if (!Destroying && !TComponent::Destroying() && OnDisconnect.Assigned()) OnDisconnect(this);
  } catch (...) {
    openFresh();
    throw;
  }
  openFresh();
}

int TTcpSocket::DiscardSocket(std::uint16_t handle) {
  if (WindowHandle) {
    // Windows posts nothing for the socket after this, but keeps what it
    // posted before, also past closesocket; and the next socket often gets
    // the same handle. So its notifications are taken out of the queue now;
    // those of the component's other socket (a listener's, an accepted
    // connection's) go back behind whatever else is queued.
    WSAAsyncSelect(handle, WindowHandle, 0, 0);
    std::vector<MSG> others;
    MSG msg;
    while (PeekMessageA(&msg, WindowHandle, kSocketMessage, kSocketAsyncMessage, PM_REMOVE)) {
      // On the second message only an accept notification names a socket;
      // the others are look-up replies.
      const bool notice = msg.message == kSocketMessage || WSAGETSELECTEVENT(msg.lParam) == FD_ACCEPT;
      if (!notice || msg.wParam != handle) others.push_back(msg);
    }
    for (const MSG& m : others) PostMessageA(m.hwnd, m.message, m.wParam, m.lParam);
  }
  return closesocket(handle);
}
