// On Windows the servers stay Linux programs on the Linux side of loopback:
// tests/support/ftp_server_broker.py, which runs the test program, starts
// each one on the program's request over a loopback connection
// (FTP_SERVER_BROKER names its port) and ends it when the connection ends, so
// that no server outlives the program. Paths cross between the systems
// through Wine's own conversions.
#include "tests/support/FtpServerProcess.h"

#include "tests/support/PeerSockets.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace testsupport {

namespace ps = peersockets;

namespace {

constexpr int kReplyTimeoutMs = 30000;

// A text as a JSON string; bytes above 127 as the Latin-1 characters the
// broker reads them as.
std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
    } else if (c < 0x20 || c > 0x7E) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      json += escaped;
    } else {
      json += static_cast<char>(c);
    }
  }
  return json + "\"";
}

// A conversion between Windows and Linux paths that kernel32 exports under
// Wine only.
template <class Function>
Function WineConversion(const char* name) {
  const auto function =
      reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), name)));
  if (!function) throw std::runtime_error("the Linux FTP servers are reachable only from a program under Wine");
  return function;
}

std::string WindowsPath(const std::string& unixPath) {
  wchar_t* converted = WineConversion<wchar_t*(__cdecl*)(const char*)>("wine_get_dos_file_name")(unixPath.c_str());
  if (!converted) throw std::runtime_error("no Windows path for " + unixPath);
  char path[MAX_PATH * 2];
  WideCharToMultiByte(CP_ACP, 0, converted, -1, path, sizeof path, nullptr, nullptr);
  HeapFree(GetProcessHeap(), 0, converted);
  return path;
}

}  // namespace

std::string ServerPath(const std::string& windowsPath) {
  std::wstring wide(windowsPath.size() + 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  char* converted = WineConversion<char*(__cdecl*)(const wchar_t*)>("wine_get_unix_file_name")(wide.c_str());
  if (!converted) throw std::runtime_error("no Linux path for " + windowsPath);
  std::string path = converted;
  HeapFree(GetProcessHeap(), 0, converted);
  return path;
}

// The connection to the broker, which owns the server.
struct FtpServerProcess::Running {
  ps::Handle broker = ps::kNone;
  std::string received;  // read ahead, not yet a whole line

  ~Running() { ps::Close(broker); }

  std::string Line() {
    std::size_t end;
    char chunk[4096];
    while ((end = received.find('\n')) == std::string::npos) {
      if (!ps::WaitReady(broker, false, kReplyTimeoutMs)) throw std::runtime_error("no reply from the FTP server broker");
      const long n = ps::ReceiveSome(broker, chunk, sizeof chunk);
      if (n < 0) throw std::runtime_error("the FTP server broker closed the connection");
      received.append(chunk, static_cast<std::size_t>(n));
    }
    std::string line = received.substr(0, end);
    received.erase(0, end + 1);
    return line;
  }

  // Sends a request and returns the reply's lines; an ERROR reply raises
  // with its text.
  std::vector<std::string> Request(const std::string& verb, const std::string& payload = "") {
    const std::string request = verb + " " + std::to_string(payload.size()) + "\n" + payload;
    for (std::size_t sent = 0; sent < request.size();) {
      if (!ps::WaitReady(broker, true, kReplyTimeoutMs)) throw std::runtime_error("the FTP server broker takes nothing");
      const long n = ps::SendSome(broker, request.data() + sent, request.size() - sent);
      if (n < 0) throw std::runtime_error("the FTP server broker closed the connection");
      sent += static_cast<std::size_t>(n);
    }
    const std::string status = Line();
    const std::size_t space = status.find(' ');
    std::vector<std::string> lines(std::strtoul(status.c_str() + space + 1, nullptr, 10));
    for (std::string& line : lines) line = Line();
    if (status.compare(0, space, "OK") == 0) return lines;
    std::string why;
    for (const std::string& line : lines) why += line + "\n";
    throw std::runtime_error(why);
  }
};

FtpServerProcess::FtpServerProcess(FtpServerOptions options)
    : options_(std::move(options)), running_(std::make_unique<Running>()) {
  const char* broker = std::getenv("FTP_SERVER_BROKER");
  if (!broker) throw std::runtime_error("no FTP server broker: run under tests/support/ftp_server_broker.py");
  running_->broker = ps::Connect(static_cast<std::uint16_t>(std::atoi(broker)));
  if (running_->broker == ps::kNone) throw std::runtime_error("the FTP server broker does not answer");
  const bool vsftpd = options_.kind == FtpServerOptions::Kind::Vsftpd;
  const std::string request = std::string("{\"kind\": ") + (vsftpd ? "\"vsftpd\"" : "\"scripted\"") +
                              ", \"rules\": " + JsonString(options_.rules) + ", \"user\": " + JsonString(options_.user) +
                              ", \"password\": " + JsonString(options_.password) +
                              ", \"host\": " + JsonString(options_.host) + ", \"port\": " + std::to_string(options_.port) +
                              ", \"root\": " + JsonString(options_.root.empty() ? "" : ServerPath(options_.root)) + "}";
  std::vector<std::string> started;
  try {
    started = running_->Request("START", request);
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(std::string("FTP server did not start: ") + e.what());
  }
  port_ = std::atoi(started.at(0).c_str());
  if (options_.root.empty()) options_.root = WindowsPath(started.at(1));
}

FtpServerProcess::~FtpServerProcess() {
  try {
    running_->Request("CLOSE");  // answered once the server's files are gone
  } catch (const std::runtime_error&) {
  }
}

void FtpServerProcess::Stop() { running_->Request("STOP"); }

void FtpServerProcess::PutFile(const std::string& relativePath, const std::string& bytes) const {
  running_->Request("PUT", relativePath + "\n" + bytes);
}

std::vector<std::string> FtpServerProcess::Commands() const { return running_->Request("COMMANDS"); }

}  // namespace testsupport
