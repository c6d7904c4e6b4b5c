// Capture on request and recording, as a running program gets them from its
// environment. The folders are set before the first window exists, so this
// program has its own main.
#include "classlib/Graphics.h"
#include "platform/Win32.h"
#include "tests/support/FillWindow.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path gCaptures;
fs::path gRecords;

bool PumpUntil(const std::function<bool()>& done) {
  for (int round = 0; round < 400 && !done(); ++round) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (!done()) Sleep(5);
  }
  return done();
}

int Files(const fs::path& folder, const std::string& prefix) {
  int n = 0;
  for (const auto& entry : fs::directory_iterator(folder))
    n += entry.path().filename().string().rfind(prefix, 0) == 0 && entry.path().extension() == ".png";
  return n;
}

void Load(const fs::path& path, TBitmap& b) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  b.LoadFromPng(bytes.data(), bytes.size());
}

LRESULT CALLBACK Plain(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc{};
    if (!GetClassInfoA(nullptr, "CaptureTestWindow", &wc)) {
      wc.lpfnWndProc = &Plain;
      wc.lpszClassName = "CaptureTestWindow";
      RegisterClassA(&wc);
    }
    hwnd = CreateWindowExA(0, "CaptureTestWindow", "shown", WS_CAPTION, 0, 0, 40, 30, nullptr, nullptr, nullptr,
                           nullptr);
    hidden = CreateWindowExA(0, "CaptureTestWindow", "hidden", WS_CAPTION, 0, 0, 40, 30, nullptr, nullptr,
                             nullptr, nullptr);
    Draw(hidden, 0xFF00FF00u, 0, 0, 40, 30);
  }
  void TearDown() override {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    DestroyWindow(hidden);
  }

  static void Draw(HWND target, std::uint32_t pixel, int left, int top, int width, int height) {
    testsupport::FillWindow(target, pixel, left, top, width, height);
  }

  HWND hwnd = nullptr;
  HWND hidden = nullptr;
};

TEST_F(CaptureTest, EachSignalWritesWhatTheShownWindowsShow) {
  ShowWindow(hwnd, SW_SHOW);
  std::raise(SIGUSR1);
  PumpUntil([] { return false; });  // nothing drawn yet: nothing to write
  EXPECT_EQ(Files(gCaptures, "capture-"), 0);
  Draw(hwnd, 0xFF102030u, 0, 0, 40, 30);
  Draw(hwnd, 0xFFC0C0C0u, 10, 5, 4, 3);
  std::raise(SIGUSR1);
  ASSERT_TRUE(PumpUntil([] { return fs::exists(gCaptures / "capture-2-1.png"); }));
  EXPECT_EQ(Files(gCaptures, "capture-"), 1) << "the hidden window is not captured";
  TBitmap shot;
  Load(gCaptures / "capture-2-1.png", shot);
  ASSERT_EQ(shot.Width(), 40);
  ASSERT_EQ(shot.Height(), 30);
  EXPECT_EQ(shot.PixelColor(0, 0), 0x302010u);
  EXPECT_EQ(shot.PixelColor(11, 6), 0xC0C0C0u);
  EXPECT_EQ(shot.PixelColor(14, 6), 0x302010u);
  std::raise(SIGUSR1);
  std::raise(SIGUSR1);
  EXPECT_TRUE(PumpUntil([] { return fs::exists(gCaptures / "capture-4-1.png"); }));
  for (const auto& entry : fs::directory_iterator(gCaptures))
    EXPECT_NE(entry.path().extension(), ".part") << "files appear whole";
}

TEST_F(CaptureTest, TheRecordingKeepsEveryStateAndTheLastPicture) {
  ShowWindow(hwnd, SW_SHOW);
  const int before = Files(gRecords, "record-");
  // Drawings between two passes of the pump make one picture.
  for (int i = 0; i < 50; ++i) Draw(hwnd, 0xFF000000u | static_cast<std::uint32_t>(i), 0, 0, 40, 30);
  ASSERT_TRUE(PumpUntil([&] { return Files(gRecords, "record-") == before + 1; }));
  PumpUntil([] { return false; });
  EXPECT_EQ(Files(gRecords, "record-"), before + 1) << "nothing new, nothing written";
  Draw(hwnd, 0xFFFF0000u, 0, 0, 40, 30);
  DestroyWindow(hwnd);
  ASSERT_EQ(Files(gRecords, "record-"), before + 2) << "the last picture, written as the window goes";
  TBitmap last;
  Load(gRecords / ("record-" + std::to_string(before + 2) + "-1.png"), last);
  EXPECT_EQ(last.PixelColor(5, 5), 0x0000FFu);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const fs::path root = fs::temp_directory_path() / ("capture-test-" + std::to_string(getpid()));
  gCaptures = root / "captures";
  gRecords = root / "records";
  fs::create_directories(gCaptures);
  fs::create_directories(gRecords);
  setenv("WIN32_PLATFORM_CAPTURE_DIR", gCaptures.c_str(), 1);
  setenv("WIN32_PLATFORM_RECORD_DIR", gRecords.c_str(), 1);
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  const int result = RUN_ALL_TESTS();
  fs::remove_all(root);
  return result;
}
