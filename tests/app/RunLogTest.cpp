#include "app/RunLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

namespace fs = std::filesystem;

class RunLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // One folder a test: CTest runs the tests of this fixture side by side.
  const fs::path dir_ =
      fs::temp_directory_path() / (std::string("run-log-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(RunLogTest, EachRunAppendsTimedLinesThatNoTextCanBreak) {
  for (int run = 0; run < 2; ++run) {
    TRunLog log;
    log.Open(dir_.string());
    ASSERT_TRUE(log.IsOpen());
    log.Line("start", "run " + std::to_string(run));
  }
  TRunLog log;
  log.Open(dir_.string());
  log.Line("ftp", "< 220 forged\r\n2026-01-01 00:00:00.000 launch: ok\x1b[2J");
  log.Line("ftp", std::string(5000, 'x'));

  std::istringstream lines(Read(kRunLogName));
  std::vector<std::string> got;
  for (std::string line; std::getline(lines, line);) {
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.back(), '\r');  // CR LF ends every line
    line.pop_back();
    const std::regex stamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (.*))");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, stamp)) << line;
    got.push_back(m[1]);
  }
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0], "start: run 0");
  EXPECT_EQ(got[1], "start: run 1");
  EXPECT_EQ(got[2], "ftp: < 220 forged??2026-01-01 00:00:00.000 launch: ok?[2J");
  EXPECT_EQ(got[3], "ftp: " + std::string(TRunLog::kLineMax, 'x') + "...");
}

TEST_F(RunLogTest, PastTheBoundTheLogBecomesTheOldOneReplacingTheOlder) {
  { std::ofstream(dir_ / (std::string(kRunLogName) + kRunLogOldSuffix)) << "the oldest\r\n"; }
  const std::string full(TRunLog::kRotateAt - 10, '#');
  { std::ofstream(dir_ / kRunLogName, std::ios::binary) << full; }
  TRunLog log;
  log.Open(dir_.string());
  log.Line("start", "below the bound");  // brings the log past it
  log.Line("connect", "after the bound");
  EXPECT_EQ(Read(std::string(kRunLogName) + kRunLogOldSuffix).substr(0, full.size()), full);
  EXPECT_NE(Read(std::string(kRunLogName) + kRunLogOldSuffix).find("start: below the bound"), std::string::npos);
  const std::string now = Read(kRunLogName);
  EXPECT_NE(now.find("connect: after the bound"), std::string::npos);
  EXPECT_EQ(now.find('#'), std::string::npos);
}

TEST_F(RunLogTest, ALogThatCannotBeOpenedIsGivenUpSilently) {
  fs::create_directories(dir_ / kRunLogName);  // a folder in the log's place
  TRunLog log;
  log.Open(dir_.string());
  EXPECT_FALSE(log.IsOpen());
  log.Line("start", "nowhere to go");
  EXPECT_TRUE(fs::is_directory(dir_ / kRunLogName));
  EXPECT_TRUE(fs::is_empty(dir_ / kRunLogName));

  TRunLog missing;
  missing.Open((dir_ / "no such folder").string());
  EXPECT_FALSE(missing.IsOpen());
  missing.Line("start", "nowhere either");
}

}  // namespace
