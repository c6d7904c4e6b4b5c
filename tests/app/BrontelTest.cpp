// The update run in process, against the real client and the scripted server.
//
// The window connects to its fixed profile's host on port 21, so these tests
// run inside a network namespace of their own (CTest runs them through
// tests/support/in_netns.py), where that host is 127.0.0.1 and the test's
// server listens on port 21.
#include "app/Brontel.h"

#include "app/ServerProfiles.h"
#include "classlib/Application.h"
#include "classlib/ComCtrls.h"
#include "classlib/Screen.h"
#include "classlib/Timer.h"
#include "net/ftp/FtpClient.h"
#include "platform/Observe.h"
#include "tests/support/FtpServerProcess.h"
#include "widgets/FxProgressFill.h"
#include "widgets/FxStatusBar.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>

#include <netdb.h>
#include <unistd.h>

namespace {

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
bool CyclesTheGauge(const std::vector<int>& images) {
  for (std::size_t i = 0; i < images.size(); ++i) {
    if (images[i] < 1 || images[i] > 5) return false;
    if (i > 0 && images[i] != images[i - 1] % 5 + 1) return false;
  }
  return true;
}

bool ProfileHostIsLocal() {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* result = nullptr;
  if (getaddrinfo(ProfileB.Host, nullptr, &hints, &result) != 0) return false;
  freeaddrinfo(result);
  return true;
}

const std::string kServedProduct = "#!/bin/sh\necho served > product-started.txt\n";
const std::string kInstalledProduct = "#!/bin/sh\necho installed > product-started.txt\n";

class BrontelRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ProfileHostIsLocal()) GTEST_SKIP() << "run inside tests/support/in_netns.py (as CTest does)";
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
    fs::remove_all(root_);
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
    Serve("Merindo_SQL_Dalvessa.Exe", kServedProduct);
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

TEST_F(BrontelRun, AnUpdateShowsEveryStepDownloadsTheFilesAndStartsTheProduct) {
  ServeRelease("1.0\r\n2.0\r\n");
  Local("VersioneAttuale.Txt", "1.0\r\n");
  RunLauncher();
  const Lines transfer{" Inizio Trasnsazione", "<bytes>", " Fine Trasnsazione"};
  Lines expected{" Connessione in Corso .....", " Connesso", " Verifica Versione in Corso ....."};
  for (int i = 0; i < 4; ++i) expected.insert(expected.end(), transfer.begin(), transfer.end());
  expected.push_back(" Aggiornamento Terminato Correttamente");
  expected.push_back(" Attendere Avvio Procedura .......");
  EXPECT_EQ(Shown(), expected);

  EXPECT_EQ(form_->Product(0), "Merindo Download Terminato Correttamente");
  EXPECT_EQ(form_->Version(0), "2.0");
  EXPECT_EQ(form_->Product(1), "Quillane.exe Download Terminato Correttamente");
  EXPECT_EQ(form_->Version(1), "Versione 1.0");
  EXPECT_EQ(form_->Product(2), "ntwdblib.dll Download Terminato Correttamente");
  EXPECT_EQ(form_->Version(2), "Versione 8.00.194");
  for (int row = 0; row < 3; ++row) EXPECT_EQ(form_->Row(row)->ImageIndex(), 0) << row;
  EXPECT_EQ(observe::beeps(), (std::vector<unsigned>{0x40, 0x40, 0x40}));
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_FALSE(form_->TimerDownload->Enabled());
  EXPECT_EQ(form_->X_Progressivo->Position(), 0);
  EXPECT_EQ(Read("Merindo_SQL_Dalvessa.Exe"), kServedProduct);
  EXPECT_EQ(Read("Quillane.Exe"), std::string(150000, 'q'));
  EXPECT_EQ(Read("ntwdblib.dll"), std::string(70000, 'n'));
  EXPECT_EQ(Read("VersioneAttuale.Txt"), "1.0\r\n");
  ASSERT_EQ(observe::startedPrograms().size(), 1u);  // one launch attempt
  EXPECT_EQ(observe::startedPrograms()[0].showCommand, 0);
  EXPECT_EQ(commands_.back(), "RETR " + std::string(ProfileB.RemoteRoot) + "/Merindo/ntwdblib.dll");
  // The received-bytes text in the regional format, the last block of a file.
  EXPECT_NE(std::find(form_->shown.begin(), form_->shown.end(), " 150.000 Bytes di 150.000 Ricevuti"),
            form_->shown.end());
  Application->DestroyComponents();
}

TEST_F(BrontelRun, TheSameVersionDownloadsNothingAndLeavesTheRowsAsTheyWere) {
  ServeRelease("2.0\r\n");
  Local("VersioneAttuale.Txt", "2.0");
  Local("Merindo_SQL_Dalvessa.Exe", kInstalledProduct);
  RunLauncher();
  EXPECT_EQ(Shown(), (Lines{" Connessione in Corso .....", " Connesso", " Verifica Versione in Corso .....",
                            " Inizio Trasnsazione", "<bytes>", " Fine Trasnsazione", " Nessuna Nuova Versione",
                            " Attendere Avvio Procedura ......."}));
  EXPECT_EQ(form_->Row(0)->ImageIndex(), 6);
  EXPECT_EQ(form_->Row(1)->ImageIndex(), -1);
  EXPECT_EQ(form_->Row(2)->ImageIndex(), -1);
  EXPECT_EQ(form_->Product(0), "Merindo");
  EXPECT_EQ(form_->Product(1), "Quillane.exe");
  EXPECT_EQ(form_->Product(2), "ntwdblib.dll");
  for (int row = 0; row < 3; ++row) EXPECT_EQ(form_->Version(row), "") << row;
  EXPECT_TRUE(observe::beeps().empty());
  EXPECT_EQ(Read("Merindo_SQL_Dalvessa.Exe"), kInstalledProduct);
  EXPECT_EQ(observe::startedPrograms().size(), 1u);
  Application->DestroyComponents();
}

// The installed files keep what they were: the companion stays executable,
// the library private, and a product installed as a symbolic link stays a
// link, its target holding the new product.
TEST_F(BrontelRun, AnUpdateKeepsTheModesOfTheInstalledFilesAndALinkInPlaceOfOne) {
  ServeRelease("2.0");
  Local("VersioneAttuale.Txt", "1.0");
  Local("Quillane.Exe", "installed companion");
  fs::permissions(Work() / "Quillane.Exe", static_cast<fs::perms>(0755));
  Local("ntwdblib.dll", "installed library");
  fs::permissions(Work() / "ntwdblib.dll", static_cast<fs::perms>(0600));
  fs::create_directories(Work() / "versions");
  Local("versions/Merindo-1.exe", kInstalledProduct);
  fs::permissions(Work() / "versions" / "Merindo-1.exe", static_cast<fs::perms>(0750));
  fs::create_symlink("versions/Merindo-1.exe", Work() / "Merindo_SQL_Dalvessa.Exe");
  RunLauncher();
  EXPECT_EQ(observe::beeps().size(), 3u);
  EXPECT_EQ(Read("Quillane.Exe"), std::string(150000, 'q'));
  EXPECT_EQ(fs::status(Work() / "Quillane.Exe").permissions(), static_cast<fs::perms>(0755));
  EXPECT_EQ(Read("ntwdblib.dll"), std::string(70000, 'n'));
  EXPECT_EQ(fs::status(Work() / "ntwdblib.dll").permissions(), static_cast<fs::perms>(0600));
  ASSERT_TRUE(fs::is_symlink(Work() / "Merindo_SQL_Dalvessa.Exe"));
  EXPECT_EQ(fs::read_symlink(Work() / "Merindo_SQL_Dalvessa.Exe"), "versions/Merindo-1.exe");
  EXPECT_EQ(Read("versions/Merindo-1.exe"), kServedProduct);
  EXPECT_EQ(fs::status(Work() / "versions" / "Merindo-1.exe").permissions(), static_cast<fs::perms>(0750));
  Application->DestroyComponents();
}

TEST_F(BrontelRun, ALowerServerVersionAlsoUpdates) {
  ServeRelease("1.9");
  Local("VersioneAttuale.Txt", "2.0");
  RunLauncher();
  EXPECT_EQ(form_->Status(), " Attendere Avvio Procedura .......");
  EXPECT_EQ(observe::beeps().size(), 3u);
  Application->DestroyComponents();
}

// A transfer that lasts: the row's gauge goes round its five frames every
// 300 ms until the file is complete, and the bar moves on from file to file
// without going back to 0 before the end. The server holds the product's
// transfer half-way until the gauge has gone round once.
TEST_F(BrontelRun, DuringATransferTheGaugeCyclesAndTheBarIsNotResetBetweenFiles) {
  ServeRelease("2.0");
  Serve("Merindo_SQL_Dalvessa.Exe", kServedProduct + std::string(300000, '#'));
  Local("VersioneAttuale.Txt", "1.0");
  const fs::path gate = root_ / "release-transfer";
  form_ = nullptr;
  // Released once row 0 has shown 1, 2, 3, 4, 5 and 1 again; at the latest
  // after 10 s, which fails the test.
  TTimer escape(nullptr);
  escape.SetInterval(10000);
  escape.SetOnTimer([&](TObject*) { std::ofstream(gate.string()) << "late"; });
  RunLauncher(R"([{"on": "RETR", "arg": ")" + std::string(ProfileB.RemoteRoot) +
                  R"(/Merindo/Merindo_SQL_Dalvessa.Exe", "hold_after": 100000, "hold_until": ")" + gate.string() +
                  R"("}])",
              [&](TRecordingBrontel& form) {
                form.onFrame = [&form, gate](const Frame&) {
                  const std::vector<int> row0 = form.Images(0);
                  if (row0.size() >= 7 && !fs::exists(gate)) std::ofstream(gate.string()) << "cycled";
                };
              });
  std::ifstream released(gate);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(released)), {}), "cycled");
  const std::vector<int> row0 = form_->Images(0);
  ASSERT_GE(row0.size(), 8u);
  EXPECT_EQ(row0.front(), 6);
  EXPECT_EQ(row0.back(), 0);
  const std::vector<int> gauge(row0.begin() + 1, row0.end() - 1);
  EXPECT_EQ(gauge.front(), 1);
  EXPECT_TRUE(CyclesTheGauge(gauge)) << ::testing::PrintToString(gauge);
  // The bar: from its first move until the last row is complete (the end
  // step then sets it to 0) it never shows 0.
  bool moved = false;
  int positionsSeen = 0;
  for (const Frame& f : form_->frames) {
    if (f.images[2] == 0) break;
    if (f.bar != 0) moved = true;
    if (moved) {
      EXPECT_NE(f.bar, 0) << f.status;
      ++positionsSeen;
    }
  }
  EXPECT_TRUE(moved);
  EXPECT_GT(positionsSeen, 2);
  EXPECT_EQ(form_->X_Progressivo->Position(), 0);  // the end step
  EXPECT_EQ(Read("Merindo_SQL_Dalvessa.Exe"), kServedProduct + std::string(300000, '#'));
  Application->DestroyComponents();
}

TEST_F(BrontelRun, AFailedFileKeepsItsRowAnimatingAndTheBusyCursorAndTheInstalledFile) {
  ServeRelease("2.0");
  Local("VersioneAttuale.Txt", "1.0");
  Local("Quillane.Exe", "installed companion");
  RunLauncher(R"([{"on": "RETR", "arg": ")" + std::string(ProfileB.RemoteRoot) +
              R"(/Merindo/Quillane.Exe", "reply": "550 Not available."}])");
  EXPECT_EQ(form_->Product(0), "Merindo Download Terminato Correttamente");
  EXPECT_EQ(form_->Product(1), "Quillane.exe Download in Corso .....");
  EXPECT_EQ(form_->Product(2), "ntwdblib.dll");
  EXPECT_EQ(form_->Row(0)->ImageIndex(), 0);
  EXPECT_GE(form_->Row(1)->ImageIndex(), 1);
  EXPECT_LE(form_->Row(1)->ImageIndex(), 5);
  EXPECT_TRUE(form_->TimerDownload->Enabled());
  // Between the failure and the launch (1000 ms, about three ticks of the
  // gauge) the row goes on cycling.
  const std::vector<int> afterFailure = form_->Images(1, true);
  EXPECT_GE(afterFailure.size(), 2u) << ::testing::PrintToString(afterFailure);
  EXPECT_TRUE(CyclesTheGauge(afterFailure)) << ::testing::PrintToString(afterFailure);
  EXPECT_EQ(Screen->Cursor(), crAppStart);
  EXPECT_EQ(observe::currentCursor(), 32650);  // the application-starting cursor, to the end
  EXPECT_EQ(observe::beeps().size(), 1u);
  EXPECT_EQ(Read("Quillane.Exe"), "installed companion");
  EXPECT_FALSE(fs::exists(Work() / "Quillane.Exe.download"));
  const Lines shown = Shown();
  EXPECT_EQ(std::count(shown.begin(), shown.end(), " Aggiornamento Terminato Correttamente"), 0);
  EXPECT_EQ(shown.back(), " Attendere Avvio Procedura .......");
  Application->DestroyComponents();
}

TEST_F(BrontelRun, ARefusedLoginShowsDisconnectedThenLaunches) {
  ServeRelease("2.0");
  Local("Merindo_SQL_Dalvessa.Exe", kInstalledProduct);
  RunLauncher(R"([{"on": "PASS", "reply": "530 Login incorrect."}])");
  EXPECT_EQ(Shown(), (Lines{" Connessione in Corso .....", " Disconnesso", " Attendere Avvio Procedura ......."}));
  EXPECT_EQ(form_->Product(0), "");  // the list was never filled
  EXPECT_EQ(observe::startedPrograms().size(), 1u);
  Application->DestroyComponents();
}

// The server closes the connection instead of answering the first CWD: the
// client learns it while it waits for the reply.
const char* const kCloseAtFirstCwd = R"([{"on": "CWD", "reply": [], "close": true}])";

TEST_F(BrontelRun, TheConnectionClosedAfterLoginSkipsEveryOperationButCompletesTheRows) {
  // The version compared is the Versione.Txt already in the folder.
  Local("Versione.Txt", "3.0");
  Local("VersioneAttuale.Txt", "1.0");
  RunLauncher(kCloseAtFirstCwd);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(form_->Row(row)->ImageIndex(), 0) << row;
  EXPECT_EQ(form_->Version(0), "3.0");
  EXPECT_EQ(observe::beeps().size(), 3u);
  const Lines shown = Shown();
  EXPECT_NE(std::find(shown.begin(), shown.end(), " Disconnesso"), shown.end());
  EXPECT_NE(std::find(shown.begin(), shown.end(), " Aggiornamento Terminato Correttamente"), shown.end());
  EXPECT_FALSE(fs::exists(Work() / "Quillane.Exe"));
  Application->DestroyComponents();
}

TEST_F(BrontelRun, WithoutAnyVersionFileTheReadFailsAndTheRunLaunches) {
  RunLauncher(kCloseAtFirstCwd);
  EXPECT_EQ(form_->Status(), " Attendere Avvio Procedura .......");
  EXPECT_TRUE(observe::beeps().empty());
  EXPECT_TRUE(observe::startedPrograms().empty());  // no product anywhere
  Application->DestroyComponents();
}

// ------------------------------------------------------------------ pieces

TEST(ProgressPosition, IsExactForAnyTwo32BitCountsAndCappedAt100) {
  struct Case {
    std::int32_t received, total;
    std::optional<int> position;
  };
  const Case cases[] = {
      {12288, 1048576, 1},       {524288, 1048576, 50},   {1048575, 1048576, 99},
      {1048576, 1048576, std::nullopt},                  // the last block leaves the bar
      {5000, 0, std::nullopt},                           // no size announced
      {2000, 1000, 100},                                 // more than announced
      {INT32_MAX - 1, INT32_MAX, 99},                    // the product needs 64 bits
      {INT32_MAX, 1, 100},                               {0, 7, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgressPosition(c.received, c.total), c.position) << c.received << "/" << c.total;
}

}  // namespace
