// The cost of the main window's feedback for one received block: the
// launcher's own FtpClient1PacketRecvd on the real TX_Brontel, headless, with
// the messages it leaves behind processed as the capture loop does after each
// block. The received-bytes text, the bar position, the synchronous paints of
// the status bar and the progress fill into the form's surface and the copy
// of the changed area to the window are all inside the measured step.
//
// A download in progress is set up as Download itself does it: FtpClient1
// gets a data connection, whose BytesRecvd the benchmark advances by one
// block per step, and BytesTotal holds the announced size. Nothing is sent
// or received.
#include "app/Brontel.h"
#include "classlib/Application.h"
#include "classlib/Timer.h"
#include "net/ftp/FtpClient.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

constexpr std::int32_t kBlock = 65536;

// The window, created and shown once, as the program entry does; its update
// run is kept from starting.
TX_Brontel& Window() {
  if (!X_Brontel) {
    Application->CreateForm(X_Brontel);
    X_Brontel->TimerConnessione->SetEnabled(false);
    X_Brontel->ShowMainWindow();
    Application->ProcessMessages();
  }
  return *X_Brontel;
}

class DownloadInProgress {
 public:
  explicit DownloadInProgress(std::int32_t total) : window_(Window()), client_(*window_.FtpClient1), total_(total) {
    client_.DataConnection = new TTcpSocket(&client_);
    client_.BytesTotal = total;
  }
  ~DownloadInProgress() {
    delete client_.DataConnection;
    client_.DataConnection = nullptr;
  }
  DownloadInProgress(const DownloadInProgress&) = delete;
  DownloadInProgress& operator=(const DownloadInProgress&) = delete;

  // One block as CaptureFile delivers it: the counter, the event, the pump.
  void Block() {
    // Without an announced size the count runs over a 256 MiB file too.
    const std::int32_t end = total_ > 0 ? total_ : 256 << 20;
    std::int32_t& received = client_.DataConnection->BytesRecvd;
    received = received >= end ? kBlock : received + kBlock;
    window_.FtpClient1PacketRecvd(client_.DataConnection);
    Application->ProcessMessages();
  }

 private:
  TX_Brontel& window_;
  TFtpClient& client_;
  std::int32_t total_;
};

void Run(benchmark::State& state, std::int32_t total) {
  DownloadInProgress download(total);
  for (auto _ : state) download.Block();
  state.SetItemsProcessed(state.iterations());
}

// A 256 MiB product: the bar moves every 41st block, the text every block.
void BM_PacketRecvd_Download(benchmark::State& state) { Run(state, 256 << 20); }
// A file of 100 blocks: every block moves the bar by one percent.
void BM_PacketRecvd_BarMovesEveryBlock(benchmark::State& state) { Run(state, 100 * kBlock); }
// A server that announces no size: the text only.
void BM_PacketRecvd_NoSizeAnnounced(benchmark::State& state) { Run(state, 0); }

}  // namespace

BENCHMARK(BM_PacketRecvd_Download);
BENCHMARK(BM_PacketRecvd_BarMovesEveryBlock);
BENCHMARK(BM_PacketRecvd_NoSizeAnnounced);

BENCHMARK_MAIN();
