// The update run in process, against the real client and the scripted server:
// the fixture of BrontelTest.cpp and BrontelPosixTest.cpp.
//
// The window connects to its fixed profile's host on port 21, so these tests
// run inside a network namespace of their own (CTest runs them through
// tests/support/in_netns.py), where that host is 127.0.0.1 and the test's
// server listens on port 21.
#pragma once

#include "app/Brontel.h"

#include "app/ServerProfiles.h"
#include "classlib/Application.h"
#include "classlib/ComCtrls.h"
#include "classlib/Screen.h"
#include "classlib/Timer.h"
#include "net/ftp/FtpClient.h"
#include "platform/Observe.h"
#include "tests/support/FtpServerProcess.h"
#include "tests/support/PeerSockets.h"
#include "tests/support/TestProduct.h"
#include "widgets/FxProgressFill.h"
#include "widgets/FxStatusBar.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <system_error>
#include <thread>

#include <unistd.h>

namespace brontelrun {

namespace fs = std::filesystem;
using testsupport::FtpServerOptions;
using testsupport::FtpServerProcess;
using Lines = std::vector<std::string>;

// What the window showed at one moment: the status text, the rows' icons,
// the bar, and whether the launch was already due.
struct Frame {
  std::string status;
  int images[3];
  int bar;
  bool launchDue;
  bool operator==(const Frame&) const = default;
};

// The window, recording each text its status line shows and each state it
// paints (a change is shown when it is painted).
class TRecordingBrontel : public TX_Brontel {
 public:
  using TX_Brontel::TX_Brontel;
  Lines shown;
  std::vector<Frame> frames;
  std::function<void(const Frame&)> onFrame;

  std::string Status() { return Help_Stato->Panels()->Items(0)->Text(); }
  TListItem* Row(int row) { return ListaProdotti->Items()->Item(row); }
  std::string Product(int row) { return Row(row)->SubItems()->Strings(0); }
  std::string Version(int row) { return Row(row)->SubItems()->Strings(1); }

  // The icons row showed, one entry per change, from the first frame on.
  std::vector<int> Images(int row, bool onlyWhileLaunchDue = false) const {
    std::vector<int> out;
    for (const Frame& f : frames) {
      if (onlyWhileLaunchDue && !f.launchDue) continue;
      if (out.empty() || out.back() != f.images[row]) out.push_back(f.images[row]);
    }
    return out;
  }

 protected:
  void SurfaceChanged(const TRect& area) override {
    TX_Brontel::SurfaceChanged(area);
    if (!Help_Stato || !TimerAvvia || ListaProdotti->Items()->Count() < 3) return;
    const std::string text = Status();
    // Before the run the line is empty.
    if (!text.empty() && (shown.empty() || shown.back() != text)) shown.push_back(text);
    const Frame frame{text, {Row(0)->ImageIndex(), Row(1)->ImageIndex(), Row(2)->ImageIndex()},
                      X_Progressivo->Position(), TimerAvvia->Enabled()};
    if (frames.empty() || !(frames.back() == frame)) {
      frames.push_back(frame);
      if (onFrame) onFrame(frame);
    }
  }
};

// Whether images go round the gauge's five frames: each is the successor of
// the one before (5 is followed by 1).
inline bool CyclesTheGauge(const std::vector<int>& images) {
  for (std::size_t i = 0; i < images.size(); ++i) {
    if (images[i] < 1 || images[i] > 5) return false;
    if (i > 0 && images[i] != images[i - 1] % 5 + 1) return false;
  }
  return true;
}

// The product as served and as installed: a program of this system that
// records which copy ran.
inline const std::string& ServedProduct() {
  static const std::string product = testsupport::ProductProgram("served");
  return product;
}
inline const std::string& InstalledProduct() {
  static const std::string product = testsupport::ProductProgram("installed");
  return product;
}

class BrontelRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::peersockets::ResolvesToLoopback(ProfileB.Host))
      GTEST_SKIP() << "run inside tests/support/in_netns.py (as CTest does)";
    root_ = fs::temp_directory_path() / ("brontel-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "work");
    fs::create_directories(Site());
    saved_ = fs::current_path();
    fs::current_path(root_ / "work");
    observe::reset();
    FormatSettings.ThousandSeparator = ".";
  }
  void TearDown() override {
    if (root_.empty()) return;
    fs::current_path(saved_);
    // The started product may still be writing its record (on Windows its
    // running file cannot be removed until it ends).
    std::error_code failed;
    for (int i = 0; i < 500 && (fs::remove_all(root_, failed), failed); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(failed) << failed.message();
  }

  fs::path Site() const { return root_ / "site" / std::string(ProfileB.RemoteRoot).substr(1) / "Merindo"; }
  fs::path Work() const { return root_ / "work"; }
  void Serve(const std::string& name, const std::string& bytes) { std::ofstream(Site() / name, std::ios::binary) << bytes; }
  void Local(const std::string& name, const std::string& bytes) { std::ofstream(Work() / name, std::ios::binary) << bytes; }
  std::string Read(const std::string& name) {
    std::ifstream in(Work() / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
  void ServeRelease(const std::string& version) {
    Serve("Versione.Txt", version);
    Serve("Merindo_SQL_Dalvessa.Exe", ServedProduct());
    Serve("Quillane.Exe", std::string(150000, 'q'));
    Serve("ntwdblib.dll", std::string(70000, 'n'));
  }

  // Runs the window from creation to the end of the run, against a server
  // playing rules; prepare sees the window before its run starts.
  void RunLauncher(const std::string& rules = "[]",
                   const std::function<void(TRecordingBrontel&)>& prepare = nullptr) {
    FtpServerProcess server(FtpServerOptions::Scripted(rules)
                                .WithLogin(ProfileB.UserID, ProfileB.Password)
                                .WithPort(21)
                                .WithRoot((root_ / "site").string()));
    form_ = new TRecordingBrontel(Application);
    form_->ShowMainWindow();  // shown, so that changes are painted, as in the program
    if (prepare) prepare(*form_);
    Application->Run();  // until the launch step terminates the application
    commands_ = server.Commands();
  }

  // The shown texts with each run of received-bytes texts as one "<bytes>".
  Lines Shown() const {
    static const std::regex bytes(R"( [0-9.]+ Bytes di [0-9.]+ Ricevuti)");
    Lines out;
    for (const std::string& s : form_->shown) {
      const std::string item = std::regex_match(s, bytes) ? "<bytes>" : s;
      if (out.empty() || out.back() != item) out.push_back(item);
    }
    return out;
  }

  fs::path root_;
  fs::path saved_;
  TRecordingBrontel* form_ = nullptr;
  Lines commands_;
};

}  // namespace brontelrun
