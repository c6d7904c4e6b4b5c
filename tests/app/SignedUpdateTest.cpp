// The record of the last signed release installed.
#include "app/SignedUpdate.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class ReleaseRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("release-record-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  void Write(const std::string& text) { std::ofstream(folder_ / "RilascioAttuale.Txt", std::ios::binary) << text; }

  fs::path folder_;
};

TEST_F(ReleaseRecord, IsTheNumberOnALineAndAbsentUntilAReleaseIsInstalled) {
  EXPECT_EQ(TSignedUpdate::ReadRecord(folder_.string()), std::nullopt);
  for (const char* text : {"7\n", "7\r\n", "7"}) {
    Write(text);
    EXPECT_EQ(TSignedUpdate::ReadRecord(folder_.string()), 7u) << text;
  }
  // A record that is not one refuses: it must not count as none.
  for (const char* text : {"", "\n", "07\n", "7\n\n", " 7\n", "seven\n", "1234567890123456789\n"}) {
    Write(text);
    EXPECT_THROW(TSignedUpdate::ReadRecord(folder_.string()), EReleaseError) << text;
  }
}

TEST_F(ReleaseRecord, IsWrittenWholeInPlaceOfTheOldOne) {
  Write("3\n");
  TSignedUpdate::WriteRecord(folder_.string(), 12);
  std::ifstream in(folder_ / "RilascioAttuale.Txt", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "12\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);  // no temporary file left
}

}  // namespace
