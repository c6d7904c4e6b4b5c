// What a run finds of an install that an earlier run left half-done, and how
// it finishes it (the install itself is tested by the runs: BrontelTest.cpp,
// tests/app/test_durable_install.py).
#include "app/InstallFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string kHead = "merindo-install 1\nkept .kept\n";

class InterruptedInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("interrupted-install-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(folder_ / name, std::ios::binary) << text;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(folder_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::set<std::string> Names() {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) names.insert(entry.path().filename().string());
    return names;
  }

  fs::path folder_;
};

// Cut off half-way: the product is the new one with the old one kept, the
// companion not reached yet (its received file still waits), the library,
// which was not installed before, already in place. Rolled back: the kept
// product is the product again, the library goes, and so does every
// received file. Cut off once all were in place: only the kept files go.
TEST_F(InterruptedInstall, IsRolledBackToTheKeptFilesUnlessEveryFileWasInPlace) {
  for (const char* state : {"replacing", "installed"}) {
    SCOPED_TRACE(state);
    Write("InstallazioneInCorso.Txt", kHead + "state " + state +
                                          "\nreplace Merindo_SQL_Dalvessa.Exe\nreplace Quillane.Exe\nadd ntwdblib.dll\n");
    Write("Merindo_SQL_Dalvessa.Exe", "new product");
    Write("Merindo_SQL_Dalvessa.Exe.kept", "old product");
    Write("Quillane.Exe", "old companion");
    Write("Quillane.Exe.download", "new companion");
    Write("ntwdblib.dll", "new library");
    EXPECT_EQ(TInstallation::Mixed(folder_.string()), state == std::string("replacing"));
    TInstallation::FinishInterrupted(folder_.string());
    EXPECT_FALSE(TInstallation::Mixed(folder_.string()));
    if (state == std::string("replacing")) {
      EXPECT_EQ(Read("Merindo_SQL_Dalvessa.Exe"), "old product");
      EXPECT_EQ(Names(), (std::set<std::string>{"Merindo_SQL_Dalvessa.Exe", "Quillane.Exe"}));
    } else {
      EXPECT_EQ(Read("Merindo_SQL_Dalvessa.Exe"), "new product");
      EXPECT_EQ(Names(), (std::set<std::string>{"Merindo_SQL_Dalvessa.Exe", "Quillane.Exe", "ntwdblib.dll"}));
    }
    EXPECT_EQ(Read("Quillane.Exe"), "old companion");
    for (const auto& entry : fs::directory_iterator(folder_)) fs::remove(entry.path());
  }
}

// A journal that never went in place: nothing was touched after it, and the
// files it names were received for nothing.
TEST_F(InterruptedInstall, ThatStoppedBeforeItsJournalWasInPlaceLeavesOnlyTheInstalledFiles) {
  Write("InstallazioneInCorso.Txt.download", kHead + "state replacing\nreplace Quillane.Exe\n");
  Write("Quillane.Exe", "old companion");
  Write("Quillane.Exe.download", "new companion");
  EXPECT_FALSE(TInstallation::Mixed(folder_.string()));
  TInstallation::FinishInterrupted(folder_.string());
  EXPECT_EQ(Names(), std::set<std::string>{"Quillane.Exe"});
}

// A journal that is not one cannot be finished: nothing is touched, and the
// files count as mixed until someone looks.
TEST_F(InterruptedInstall, WithAJournalThatIsNotOneIsLeftAsItIsAndCountsAsMixed) {
  const std::string journals[] = {
      "",
      "merindo-install 2\nkept .kept\nstate replacing\n",
      kHead + "state replacing\nreplace Merindo_SQL_Dalvessa.Exe",  // cut short
      kHead + "state done\n",
      "merindo-install 1\nkept kept\nstate replacing\n",
      "merindo-install 1\nkept .a\\b\nstate replacing\n",
      kHead + "state replacing\nreplace ..\\Merindo_SQL_Dalvessa.Exe\n",
      kHead + "state replacing\nreplace C:Merindo_SQL_Dalvessa.Exe\n",
      kHead + "state replacing\nremove Merindo_SQL_Dalvessa.Exe\n",
      kHead + "state replacing\nreplace \n",
  };
  Write("Merindo_SQL_Dalvessa.Exe", "new product");
  Write("Merindo_SQL_Dalvessa.Exe.kept", "old product");
  for (const std::string& journal : journals) {
    SCOPED_TRACE(journal);
    Write("InstallazioneInCorso.Txt", journal);
    EXPECT_TRUE(TInstallation::Mixed(folder_.string()));
    EXPECT_THROW(TInstallation::FinishInterrupted(folder_.string()), EInstallError);
    EXPECT_EQ(Names(), (std::set<std::string>{"InstallazioneInCorso.Txt", "Merindo_SQL_Dalvessa.Exe",
                                              "Merindo_SQL_Dalvessa.Exe.kept"}));
  }
}

}  // namespace
