// The FTP client's reading of replies (greeting, login, commands, each with
// its continuation lines) fed with any bytes a server may send, over a real
// loopback TCP connection through the platform's Windows sockets.
//
// A server thread accepts the client's connection, sends the input, closes
// its sending side and reads whatever the client sends until the client hangs
// up. The client connects, logs in, sends commands while the connection lasts
// and logs out; every exception is an accepted outcome. The half-close ends
// every read of the client, so an input can only hang through a fault, which
// libFuzzer's -timeout reports.
#include "net/ftp/FtpClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <thread>

namespace {

int gListener = -1;
int gPort = 0;

bool StartListening() {
  gListener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (gListener < 0 || bind(gListener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(gListener, 4) != 0 || getsockname(gListener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    std::abort();
  gPort = ntohs(address.sin_port);
  return true;
}

void Serve(const std::string& bytes) {
  pollfd waiting{gListener, POLLIN, 0};
  if (poll(&waiting, 1, 10000) <= 0) return;  // the client never came: its failure is its own
  const int peer = accept(gListener, nullptr, nullptr);
  if (peer < 0) return;
  std::size_t sent = 0;
  bool halfClosed = false;
  for (;;) {
    if (sent == bytes.size() && !halfClosed) {
      shutdown(peer, SHUT_WR);
      halfClosed = true;
    }
    pollfd p{peer, static_cast<short>(POLLIN | (halfClosed ? 0 : POLLOUT)), 0};
    if (poll(&p, 1, 20000) <= 0) break;
    if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
      char scratch[4096];
      if (recv(peer, scratch, sizeof scratch, 0) <= 0) break;  // the client hung up
    }
    if (!halfClosed && (p.revents & POLLOUT)) {
      const std::size_t chunk = std::min<std::size_t>(bytes.size() - sent, 65536);
      const ssize_t n = send(peer, bytes.data() + sent, chunk, MSG_NOSIGNAL);
      if (n < 0) break;
      sent += static_cast<std::size_t>(n);
    }
  }
  close(peer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  [[maybe_unused]] static const bool listening = StartListening();
  std::thread server(Serve, std::string(reinterpret_cast<const char*>(data), size));
  {
    TFtpClient client(nullptr);
    client.Host = "127.0.0.1";
    client.Port = gPort;
    client.UserID = "user";
    client.Password = "secret";
    client.OnConnect = [&client](TObject*) {
      for (int i = 0; i < 16 && client.Connected; ++i) {
        if (client.Transaction("NOOP").empty()) break;
      }
      client.ChangeDirectory("Merindo");
      client.SetTransferType(TypeLocal8);
    };
    try {
      client.Connect();
      client.Disconnect();
    } catch (const std::exception&) {
    }
  }
  server.join();
  return 0;
}
