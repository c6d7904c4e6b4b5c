// One client, one login, a thousand downloads in a row: every file arrives
// whole, and nothing a download takes (descriptors, heap) stays behind.
//
// From the 100th download on (the first ones fill caches and pools that then
// stay: the socket table, the message queue, the allocator's arenas) the
// samples taken every 100 downloads must not grow: open descriptors (handles
// on Windows) not at all, the heap in use by less than kHeapToleranceBytes
// (tests/support/ProcessResources.h says what each system counts). A leak of 24 bytes
// per download already exceeds that over the 900 downloads measured, while
// the allocator's own bookkeeping, which moves by a few hundred bytes between
// samples, stays well inside. The figures are printed for the README.
#include "tests/net/ftp/FtpTesting.h"
#include "tests/support/ProcessResources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testsupport::FtpServerOptions;
using testsupport::FtpServerProcess;
using testsupport::HeapInUse;
using testsupport::OpenHandles;
using testsupport::ResidentBytes;

constexpr int kDownloads = 1000;
constexpr int kFirstSample = 100;
constexpr int kSampleEvery = 100;
constexpr int kFiles = 20;
constexpr std::size_t kHeapToleranceBytes = 20 * 1024;

struct Sample {
  int download;
  std::size_t handles;  // descriptors on Linux
  std::size_t heapBytes;
  std::size_t residentBytes;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(FtpSoak, AThousandDownloadsInARowAreByteExactAndLeaveNothingBehind) {
  FtpServerProcess server(FtpServerOptions::Scripted());
  // Sizes from nothing over one byte and a block's edge to several blocks.
  std::vector<std::string> contents;
  std::mt19937 gen(42);
  for (int i = 0; i < kFiles; ++i) {
    const std::size_t size = i == 0 ? 0 : i == 1 ? 1 : i == 2 ? 65536 : (gen() % 300000);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(gen() & 0xFF);
    server.PutFile("soak/f" + std::to_string(i) + ".bin", bytes);
    contents.push_back(std::move(bytes));
  }
  const fs::path local = fs::temp_directory_path() / ("ftp-soak-" + std::to_string(::getpid()));
  fs::remove_all(local);
  fs::create_directories(local);

  TFtpClient client(nullptr);
  ftptesting::Recorder recorder;
  ftptesting::Wire(client, server, recorder);
  // The recorder's texts of a thousand downloads would be the growth measured.
  client.ReportLevel = 0;
  client.OnStatus = {};
  client.OnSuccess = {};
  client.OnTransactionStart = {};
  client.OnTransactionStop = {};
  client.Connect();
  client.ChangeDirectory("soak");
  client.SetTransferType(TypeImage);

  std::vector<Sample> samples;
  int wrong = 0;
  for (int n = 1; n <= kDownloads; ++n) {
    const int i = n % kFiles;
    const fs::path file = local / ("f" + std::to_string(i) + ".bin");
    client.Download("f" + std::to_string(i) + ".bin", file.string());
    if (client.BytesTotal != static_cast<std::int32_t>(contents[i].size()) || ReadFile(file) != contents[i]) ++wrong;
    if (n >= kFirstSample && n % kSampleEvery == 0)
      samples.push_back(Sample{n, OpenHandles(), HeapInUse(), ResidentBytes()});
  }
  client.Disconnect();
  fs::remove_all(local);

  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(recorder.Count("Disconnect"), 1);  // one connection for all of them
  ASSERT_FALSE(samples.empty());
  const auto [minHeap, maxHeap] = std::minmax_element(
      samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.heapBytes < b.heapBytes; });
  for (const Sample& s : samples) {
    std::cout << "after " << s.download << " downloads: " << s.handles << " open handles, " << s.heapBytes
              << " heap bytes, " << s.residentBytes / 1024 << " KiB resident\n";
    EXPECT_EQ(s.handles, samples.front().handles) << "after " << s.download << " downloads";
  }
  EXPECT_LT(maxHeap->heapBytes - minHeap->heapBytes, kHeapToleranceBytes)
      << "the heap grew from " << minHeap->heapBytes << " (after " << minHeap->download << ") to "
      << maxHeap->heapBytes << " (after " << maxHeap->download << ")";
}

}  // namespace
