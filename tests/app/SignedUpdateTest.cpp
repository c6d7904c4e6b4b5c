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

// The number and the description's SHA-256; the number alone as launchers
// before the digest wrote it.
TEST_F(ReleaseRecord, IsTheNumberAndTheDigestOnALineAndAbsentUntilAReleaseIsInstalled) {
  EXPECT_EQ(TSignedUpdate::ReadRecord(folder_.string()), std::nullopt);
  const TSha256 digest = Sha256Of("merindo-release 1\n");
  const std::string hex = HexText(digest.data(), digest.size());
  for (const char* text : {"7\n", "7\r\n", "7"}) {
    Write(text);
    EXPECT_EQ(TSignedUpdate::ReadRecord(folder_.string()), (TInstalledRelease{7, {}})) << text;
  }
  for (const std::string& text : std::vector<std::string>{"7 " + hex + "\n", "7 " + hex}) {
    Write(text);
    EXPECT_EQ(TSignedUpdate::ReadRecord(folder_.string()), (TInstalledRelease{7, digest})) << text;
  }
  // A record that is not one refuses: it must not count as none.
  for (const std::string& text : std::vector<std::string>{"", "\n", "07\n", "7\n\n", " 7\n", "seven\n", "1234567890123456789\n", "7 \n",
                                  "7  " + hex + "\n", "7 " + hex.substr(1) + "\n", hex + "\n"}) {
    Write(text);
    EXPECT_THROW(TSignedUpdate::ReadRecord(folder_.string()), EReleaseError) << text;
  }
  // Nor can a folder of its name be one, or ever be written.
  fs::remove(folder_ / "RilascioAttuale.Txt");
  fs::create_directory(folder_ / "RilascioAttuale.Txt");
  try {
    TSignedUpdate::ReadRecord(folder_.string());
    ADD_FAILURE() << "a folder passed for the record";
  } catch (const EReleaseError& e) {
    EXPECT_NE(e.Message().find("is a folder, not a file"), std::string::npos) << e.Message();
  }
}

TEST_F(ReleaseRecord, IsWrittenWholeInPlaceOfTheOldOne) {
  Write("3\n");
  const TSha256 digest = Sha256Of("merindo-release 1\n");
  TSignedUpdate::WriteRecord(folder_.string(), {12, digest});
  std::ifstream in(folder_ / "RilascioAttuale.Txt", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "12 " + HexText(digest.data(), digest.size()) + "\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);  // no temporary file left
}

}  // namespace
