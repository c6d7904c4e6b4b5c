// The time-out of a socket component and the error check after a failed
// socket call.
#include "net/socket/SocketErrors.h"
#include "net/socket/TcpSocket.h"

#include "platform/Win32.h"

void TTcpSocket::TimerOn() {
  StatusMessage(8, "Timer On");
  TimedOut = false;
  if (TimeOut < 0) throw ERangeError();
  // A running timer with the same period would not restart through the
  // setters; stop it first, so that each call measures from now (a capture
  // re-arms per block and so limits the silence, not the whole transfer).
  Timer->SetEnabled(false);
  Timer->SetInterval(static_cast<std::uint32_t>(TimeOut));
  Timer->SetEnabled(true);
}

void TTcpSocket::TimerOff() {
  StatusMessage(8, "Timer Off");
  Timer->SetEnabled(false);
}

void TTcpSocket::TimerTriggered(TObject*) {
  StatusMessage(8, "Timer Triggered");
  TimerOff();
  TimedOut = true;
  EventArrived = true;
  Abort();
}

void TTcpSocket::CheckSocketError(std::uint16_t tolerated, std::string& text) {
  LastErrorNo = WSAGetLastError();
  if (LastErrorNo != tolerated && LastErrorNo > 10000) {
    LookupErrorMessage(static_cast<std::uint16_t>(LastErrorNo), text);
    if (OnError.Assigned()) OnError(this, static_cast<std::uint16_t>(LastErrorNo), text);
    throw ESockError(text);
  }
  text.clear();
}

void TTcpSocket::LookupErrorMessage(std::uint16_t error, std::string& text) {
  StatusMessage(8, "Looking Up Error Message" + text);
  text.clear();
  if (error == 0) return;
  for (const TSocketErrorEntry& row : SocketErrorTable) {
    if (row.number == error) text = IntToStr(error) + ":" + row.message;
  }
  if (text.empty()) text = "Unknown Error No. " + IntToStr(error);
}
