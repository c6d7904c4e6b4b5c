// Downloads one file with TFtpClient, as the launcher does (active mode unless
// --passive, "TYPE L 8"), and prints what the download itself cost:
//   blocks=<n> bytes=<n> wall=<seconds> cpu=<seconds>
// measured around Download alone (monotonic clock; user + system time of the
// process, which runs this one thread). The runner also measures the whole
// process from outside, the same way as for the peers.
//
//   ftp-download-bench HOST PORT USER PASSWORD REMOTE LOCAL [--passive]
#include "bench/Measure.h"
#include "net/ftp/FtpClient.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

int main(int argc, char** argv) {
  if (argc < 7) {
    std::fprintf(stderr, "usage: %s HOST PORT USER PASSWORD REMOTE LOCAL [--passive]\n", argv[0]);
    return 2;
  }
  try {
    TFtpClient client(nullptr);
    client.Host = argv[1];
    client.Port = std::atoi(argv[2]);
    client.UserID = argv[3];
    client.Password = argv[4];
    client.Passive = argc > 7 && std::strcmp(argv[7], "--passive") == 0;
    long blocks = 0;
    client.OnPacketRecvd = [&blocks](TObject*) { ++blocks; };
    client.Connect();
    client.SetTransferType(TypeLocal8);
    const bench::Sample before = bench::Now();
    client.Download(argv[5], argv[6]);
    const bench::Sample spent = bench::Now() - before;
    std::printf("blocks=%ld bytes=%d wall=%.6f cpu=%.6f\n", blocks, client.BytesRecvd(), spent.wall, spent.cpu);
    client.Disconnect();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ftp-download-bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
