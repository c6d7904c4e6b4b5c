#include "platform/Observe.h"
#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

class ShellExecuteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("shell-test-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "work");
    observe::reset();
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Waits until the started program wrote its marker (it runs on its own).
  std::string awaitMarker() {
    // The script creates the file before it writes the line: wait for the
    // whole line.
    const fs::path marker = dir_ / "work" / "marker";
    std::string content;
    for (int i = 0; i < 2000; ++i) {
      std::ifstream in(marker);
      if (std::getline(in, content) && !in.eof()) return content;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return content;
  }

  fs::path dir_;
};

TEST_F(ShellExecuteTest, OpenMakesADownloadedScriptExecutableAndStartsItInTheGivenFolder) {
  {
    std::ofstream(dir_ / "Product.Exe") << "#!/bin/sh\npwd > marker\n";
  }
  fs::permissions(dir_ / "Product.Exe", fs::perms::owner_read | fs::perms::owner_write);
  const std::string file = dir_.string() + "\\product.exe";  // a Windows path, another case
  const std::string work = (dir_ / "work").string();
  HINSTANCE result = ShellExecuteA(nullptr, "Open", file.c_str(), "", work.c_str(), SW_HIDE);
  EXPECT_GT(reinterpret_cast<UINT_PTR>(result), 32u);
  EXPECT_EQ(awaitMarker(), work);
  EXPECT_TRUE((fs::status(dir_ / "Product.Exe").permissions() & fs::perms::owner_exec) != fs::perms::none);
  const auto started = observe::startedPrograms();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].path, (dir_ / "Product.Exe").string());
  EXPECT_EQ(started[0].directory, work);
  EXPECT_EQ(started[0].showCommand, SW_HIDE);
  EXPECT_GT(started[0].pid, 0);
}

TEST_F(ShellExecuteTest, AnEmptyDirectoryMeansOurs) {
  { std::ofstream(dir_ / "p.sh") << "#!/bin/sh\npwd > marker\n"; }
  const fs::path saved = fs::current_path();
  fs::current_path(dir_ / "work");
  ShellExecuteA(nullptr, "open", (dir_ / "p.sh").string().c_str(), "", "", SW_HIDE);
  fs::current_path(saved);
  EXPECT_EQ(awaitMarker(), (dir_ / "work").string());
}

// A started program has no console: it holds none of our standard streams,
// so whoever reads our output to its end does not wait for it.
TEST_F(ShellExecuteTest, AStartedProgramGetsNullDevicesForItsStandardStreams) {
  {
    std::ofstream(dir_ / "p.sh")
        << "#!/bin/sh\necho \"$(readlink /proc/$$/fd/0) $(readlink /proc/$$/fd/1) $(readlink /proc/$$/fd/2)\" > marker\n";
  }
  const std::string work = (dir_ / "work").string();
  ShellExecuteA(nullptr, "Open", (dir_ / "p.sh").string().c_str(), "", work.c_str(), SW_HIDE);
  EXPECT_EQ(awaitMarker(), "/dev/null /dev/null /dev/null");
}

TEST_F(ShellExecuteTest, WhatIsNotAProgramOrNotThereIsNotStarted) {
  { std::ofstream(dir_ / "notes.txt") << "just text\n"; }
  { std::ofstream(dir_ / "Damaged.Exe") << "MZ and no program\n"; }
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(
                ShellExecuteA(nullptr, "Open", (dir_ / "notes.txt").string().c_str(), "", "", SW_HIDE)),
            SE_ERR_NOASSOC);
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(
                ShellExecuteA(nullptr, "Open", (dir_ / "Damaged.Exe").string().c_str(), "", "", SW_HIDE)),
            static_cast<UINT_PTR>(ERROR_BAD_FORMAT));
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(
                ShellExecuteA(nullptr, "Open", (dir_ / "missing.exe").string().c_str(), "", "", SW_HIDE)),
            static_cast<UINT_PTR>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(observe::startedPrograms().empty());
}

TEST(MessageBeep, IsRecorded) {
  observe::reset();
  MessageBeep(MB_ICONASTERISK);
  MessageBeep(MB_ICONASTERISK);
  EXPECT_EQ(observe::beeps(), (std::vector<unsigned>{0x40, 0x40}));
}

TEST(Cursor, TheSystemCursorsLoadAndTheLastSetIsObservable) {
  HCURSOR busy = LoadCursorA(nullptr, IDC_APPSTARTING);
  ASSERT_NE(busy, nullptr);
  SetCursor(busy);
  EXPECT_EQ(observe::currentCursor(), 32650);
  EXPECT_EQ(SetCursor(LoadCursorA(nullptr, IDC_ARROW)), busy);
  EXPECT_EQ(observe::currentCursor(), 32512);
  EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(1)), nullptr);
}

}  // namespace
