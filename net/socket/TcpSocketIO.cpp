// Stream I/O on a connection: sending, reading counts and lines, command and
// reply transactions, capturing a stream into a file.
#include "net/socket/TcpSocket.h"

#include "net/socket/ReplyCode.h"

#include "classlib/Application.h"
#include "platform/Win32.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

constexpr int kBufferData = static_cast<int>(kSocketBufferSize);

// The time-out armed for the life of a scope: TimerOff on every way out.
class ArmedTimeOut {
 public:
  explicit ArmedTimeOut(TTcpSocket& socket) : socket_(socket) { socket_.TimerOn(); }
  ~ArmedTimeOut() { socket_.TimerOff(); }
  ArmedTimeOut(const ArmedTimeOut&) = delete;
  ArmedTimeOut& operator=(const ArmedTimeOut&) = delete;

 private:
  TTcpSocket& socket_;
};

// After a receive or peek that failed: true when the stream has ended (error
// 10057: the peer's close found no unread data and the socket was replaced by
// a fresh, unconnected one); otherwise runs the error check, which raises
// anything but would-block, and returns false.
bool StreamEnded(TTcpSocket& socket) {
  socket.LastErrorNo = WSAGetLastError();
  if (socket.LastErrorNo == WSAENOTCONN) return true;
  std::string error;
  socket.CheckSocketError(WSAEWOULDBLOCK, error);
  return false;
}

// Receives count bytes (already known to be waiting) onto the end of text;
// text keeps what actually arrived. Raises the socket error.
void ReceiveAppend(TTcpSocket& socket, std::string& text, std::size_t count) {
  const std::size_t at = text.size();
  text.resize(at + count);
  const int got = recv(socket.SocketHandle, text.data() + at, static_cast<int>(count), 0);
  text.resize(at + (got > 0 ? static_cast<std::size_t>(got) : 0));
  if (got < 0) {
    std::string error;
    socket.CheckSocketError(WSAEWOULDBLOCK, error);
  }
}

}  // namespace

void TTcpSocket::SendBuffer(const char* data, std::uint16_t length) {
  StatusMessage(4, "Sending Buffer");
  {
    ArmedTimeOut armed(*this);
    if (!Canceled) {
      std::size_t total = length;
      if (total == 0) {
        total = std::strlen(data);
        if (total > 65535) throw ERangeError();
      }
      const char* next = data;
      std::size_t remaining = total;
      // Handlers run while a send waits and may reuse the caller's memory
      // (Buffer, for one): the unsent bytes are kept here before the first wait.
      std::string kept;
      while (remaining > 0 && !StopRequested()) {
        const int n = send(SocketHandle, next, static_cast<int>(remaining), 0);
        if (n == 0) break;
        if (n > 0) {
          next += n;
          remaining -= static_cast<std::size_t>(n);
          continue;
        }
        std::string error;
        CheckSocketError(WSAEWOULDBLOCK, error);
        if (kept.empty()) {
          kept.assign(next, remaining);
          next = kept.data();
        }
        SleepAndProcessMessages();
      }
    }
  }
  if (StopRequested()) {
    Canceled = false;
    throw EAbortError("Socket send aborted");
  }
}

void TTcpSocket::Write(const std::string& text) {
  StatusMessage(8, "Write");
  const std::size_t length = std::min(text.size(), kSocketBufferSize);
  std::memcpy(Buffer, text.data(), length);
  Buffer[length] = '\0';
  SendBuffer(Buffer, 0);
}

void TTcpSocket::Writeln(const std::string& text) {
  StatusMessage(8, "Writeln");
  Write(text + "\r\n");
}

std::string TTcpSocket::Read(std::uint16_t count) {
  StatusMessage(8, "Read( " + IntToStr(count) + " )");
  std::size_t wanted = count;
  if (count == 0) {
    const int n = recv(SocketHandle, Buffer, kBufferData, MSG_PEEK);
    if (n < 0) {
      StreamEnded(*this);
      return {};
    }
    if (n == 0) return {};
    if (n > 65535) throw ERangeError();
    wanted = static_cast<std::size_t>(n);
  } else {
    do {
      const int n = recv(SocketHandle, Buffer, kBufferData, MSG_PEEK);
      if (n >= count) break;
      // Closed with nothing left. A close behind fewer bytes than asked for
      // is not told until they were read: the wait goes on until Cancel.
      // The end of the stream can be seen before the system's close notice
      // is posted: the close is handled here, as that notice would.
      if (n == 0) {
        RequestCloseSocket();
        return {};
      }
      if (n < 0) {
        // The peer's close was handled while we waited: the socket was
        // replaced, and no more bytes can come.
        if (StreamEnded(*this)) return {};
        ProcessMessagesOrWait();
      } else {
        // Part is here; FD_READ keeps coming while it waits, so no blocking.
        Application->ProcessMessages();
      }
    } while (!Canceled);
  }
  if (Canceled) {
    Canceled = false;
    throw EAbortError("Socket send aborted");
  }
  std::string result;
  ReceiveAppend(*this, result, wanted);
  return result;
}

std::string TTcpSocket::ReadLn() {
  StatusMessage(8, "ReadLn");
  // The bytes before the line feed are consumed into line as they come; the
  // line feed is searched for in what is peeked into Buffer.
  std::string line;
  ArmedTimeOut armed(*this);
  std::size_t lineFeed = 0;
  for (;;) {
    const std::size_t gathered = line.size();
    if (gathered == kSocketBufferSize) throw ESockError("Socket readln line too long");
    const int n = recv(SocketHandle, Buffer + gathered, static_cast<int>(kSocketBufferSize - gathered), MSG_PEEK);
    if (n == 0) {
      // The peer closed. Its close notification is handled before returning,
      // so that a caller who finds an empty line also finds the component
      // disconnected, whether the close was seen here or in a wait.
      Application->ProcessMessages();
      return {};
    }
    if (n > 0) {
      if (const void* lf = std::memchr(Buffer + gathered, '\n', static_cast<std::size_t>(n))) {
        lineFeed = static_cast<std::size_t>(static_cast<const char*>(lf) - Buffer);
        break;
      }
      ReceiveAppend(*this, line, static_cast<std::size_t>(n));
      Application->ProcessMessages();
    } else {
      // The stream ended before a line feed: a partial line is dropped.
      if (StreamEnded(*this)) return {};
      ProcessMessagesOrWait();
    }
    if (StopRequested()) break;
  }
  if (StopRequested()) {
    Canceled = false;
    throw EAbortError("Socket readln aborted");
  }
  ReceiveAppend(*this, line, lineFeed + 1 - line.size());
  return line;
}

std::string TTcpSocket::Transaction(const std::string& command) {
  StatusMessage(8, "Transaction");
  ReplyNumber = 0;
  Writeln(command);
  TransactionReply = ReadLn();
  if (!TransactionReply.empty()) {
    StatusMessage(1, TransactionReply);
    ReplyNumber = ReplyCode(TransactionReply);
  }
  return TransactionReply;
}

void TTcpSocket::CaptureFile(const std::string& fileName) {
  StatusMessage(8, "CaptureFile");
  BytesRecvd = 0;
  BytesCaptured = 0;
  {
    ArmedTimeOut armed(*this);
    TFileStream file(fileName, TFileStream::Mode::Create);
    std::int64_t armedAt = 0;  // BytesCaptured when the time-out was last armed
    while (!StopRequested()) {
      const int n = recv(SocketHandle, Buffer, kBufferData, 0);
      if (n == 0) break;  // the peer closed
      if (n > 0) {
        file.WriteBuffer(Buffer, n);
        // The counter wraps past 2 GiB, as a 32-bit counter does.
        BytesRecvd = static_cast<std::int32_t>(static_cast<std::uint32_t>(BytesRecvd) + static_cast<std::uint32_t>(n));
        BytesCaptured += n;
        if (OnPacketRecvd.Assigned()) OnPacketRecvd(this);
        // The time-out measures silence, or a trickle too thin to count as
        // receiving.
        if (BytesCaptured - armedAt >= MinRate) {
          TimerOn();
          armedAt = BytesCaptured;
        }
        Application->ProcessMessages();
        continue;
      }
      if (StreamEnded(*this)) break;
      ProcessMessagesOrWait();
    }
  }
  if (StopRequested()) {
    Canceled = false;
    throw EAbortError("Socket send aborted");
  }
}

void TTcpSocket::ClearInput() {
  StatusMessage(8, "Clearing Input");
  auto scratch = std::make_unique<char[]>(kSocketBufferSize);
  recv(SocketHandle, scratch.get(), kBufferData, 0);
}

bool TTcpSocket::DataAvailable() {
  StatusMessage(8, "Data Available");
  return recv(SocketHandle, Buffer, 1, MSG_PEEK) >= 1;
}
