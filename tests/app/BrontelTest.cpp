// The update run in process, against the real client and the scripted server
// (the fixture is BrontelRun.h).
#include "tests/app/BrontelRun.h"

#include <gtest/gtest.h>

#include <set>

namespace {

namespace fs = std::filesystem;
using brontelrun::BrontelRun;
using brontelrun::CyclesTheGauge;
using brontelrun::Frame;
using brontelrun::InstalledProduct;
using brontelrun::ServedProduct;
using brontelrun::TRecordingBrontel;
using Lines = std::vector<std::string>;

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
  EXPECT_EQ(Read("Merindo_SQL_Dalvessa.Exe"), ServedProduct());
  EXPECT_EQ(Read("Quillane.Exe"), std::string(150000, 'q'));
  EXPECT_EQ(Read("ntwdblib.dll"), std::string(70000, 'n'));
  EXPECT_EQ(Read("VersioneAttuale.Txt"), "1.0\r\n");
  ASSERT_EQ(observe::startedPrograms().size(), 1u);  // one launch attempt
  EXPECT_EQ(observe::startedPrograms()[0].showCommand, 0);
  EXPECT_TRUE(observe::messageBoxes().empty());  // a start that worked says nothing
  EXPECT_EQ(commands_.back(), "RETR " + std::string(ProfileB.RemoteRoot) + "/Merindo/ntwdblib.dll");
  // The received-bytes text in the regional format, the last block of a file.
  EXPECT_NE(std::find(form_->shown.begin(), form_->shown.end(), " 150.000 Bytes di 150.000 Ricevuti"),
            form_->shown.end());
  Application->DestroyComponents();
}

TEST_F(BrontelRun, TheSameVersionDownloadsNothingAndLeavesTheRowsAsTheyWere) {
  ServeRelease("2.0\r\n");
  Local("VersioneAttuale.Txt", "2.0");
  Local("Merindo_SQL_Dalvessa.Exe", InstalledProduct());
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
  EXPECT_EQ(Read("Merindo_SQL_Dalvessa.Exe"), InstalledProduct());
  EXPECT_EQ(observe::startedPrograms().size(), 1u);
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
  Serve("Merindo_SQL_Dalvessa.Exe", ServedProduct() + std::string(300000, '#'));
  Local("VersioneAttuale.Txt", "1.0");
  const fs::path gate = root_ / "release-transfer";
  form_ = nullptr;
  // Released once row 0 has shown 1, 2, 3, 4, 5 and 1 again; at the latest
  // after 10 s, which fails the test.
  TTimer escape(nullptr);
  escape.SetInterval(10000);
  escape.SetOnTimer([&](TObject*) { std::ofstream(gate.string()) << "late"; });
  RunLauncher(R"([{"on": "RETR", "arg": ")" + std::string(ProfileB.RemoteRoot) +
                  R"(/Merindo/Merindo_SQL_Dalvessa.Exe", "hold_after": 100000, "hold_until": ")" + testsupport::ServerPath(gate.string()) +
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
  EXPECT_EQ(Read("Merindo_SQL_Dalvessa.Exe"), ServedProduct() + std::string(300000, '#'));
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

// The files of an update go in place together or not at all. A folder named
// like the companion makes its replacement fail once the product is in
// place: the install is undone. The rows show three completed downloads,
// the status line no end of an update, and the installed product starts.
TEST_F(BrontelRun, AnInstallThatFailsPutsEveryFileBackAndSaysNoEndOfUpdate) {
  ServeRelease("2.0");
  Local("VersioneAttuale.Txt", "1.0");
  Local("Merindo_SQL_Dalvessa.Exe", InstalledProduct());
  fs::create_directory(Work() / "Quillane.Exe");
  Local("Quillane.Exe/inside", "a file of the folder");
  Local("ntwdblib.dll", "installed library");
  RunLauncher();
  EXPECT_EQ(observe::beeps().size(), 3u);
  EXPECT_EQ(form_->Product(2), "ntwdblib.dll Download Terminato Correttamente");
  const Lines shown = Shown();
  EXPECT_EQ(std::count(shown.begin(), shown.end(), " Aggiornamento Terminato Correttamente"), 0);
  EXPECT_EQ(Lines(shown.end() - 2, shown.end()), (Lines{" Fine Trasnsazione", " Attendere Avvio Procedura ......."}));
  EXPECT_EQ(Read("Merindo_SQL_Dalvessa.Exe"), InstalledProduct());
  EXPECT_EQ(Read("Quillane.Exe/inside"), "a file of the folder");
  EXPECT_EQ(Read("ntwdblib.dll"), "installed library");
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(Work())) names.insert(entry.path().filename().string());
  names.erase("product-started.txt");
  EXPECT_EQ(names, (std::set<std::string>{"Merindo_SQL_Dalvessa.Exe", "Quillane.Exe", "ntwdblib.dll", "Versione.Txt",
                                          "VersioneAttuale.Txt"}));
  EXPECT_EQ(observe::startedPrograms().size(), 1u);
  Application->DestroyComponents();
}

// An install an earlier run left that cannot be finished (its journal cannot
// be read): the files may be mixed. The run goes on, but no install begins
// over it, and the product is not started.
TEST_F(BrontelRun, WhileAnInstallCannotBeFinishedTheProductIsNeverStarted) {
  ServeRelease("2.0");
  Local("VersioneAttuale.Txt", "1.0");
  Local("Merindo_SQL_Dalvessa.Exe", InstalledProduct());
  const std::string journal = "merindo-install 1\nkept .kept\nstate replacing\nreplace ..\\Merindo_SQL_Dalvessa.Exe\n";
  Local("InstallazioneInCorso.Txt", journal);
  RunLauncher();
  EXPECT_EQ(observe::beeps().size(), 3u);
  EXPECT_TRUE(observe::startedPrograms().empty());
  EXPECT_EQ(Read("Merindo_SQL_Dalvessa.Exe"), InstalledProduct());
  EXPECT_EQ(Read("InstallazioneInCorso.Txt"), journal);
  EXPECT_FALSE(fs::exists(Work() / "Quillane.Exe"));
  EXPECT_FALSE(fs::exists(Work() / "Merindo_SQL_Dalvessa.Exe.download"));
  Application->DestroyComponents();
}

TEST_F(BrontelRun, ARefusedLoginShowsDisconnectedThenLaunches) {
  ServeRelease("2.0");
  Local("Merindo_SQL_Dalvessa.Exe", InstalledProduct());
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
