#include "release/ReleaseCheck.h"

#include "classlib/Classes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A release of the three files as the vendor signs it.
class ReleaseCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("release-check-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
    seed_.fill(7);
    release_.Version = "2.0";
    release_.Number = 7;
    for (const char* name : kReleaseFileNames) {
      const std::string bytes = std::string(name) + std::string(70000, 'x');
      Write(name, bytes);
      release_.Files.push_back({name, bytes.size(), Sha256Of(bytes)});
    }
    description_ = FormatReleaseDescription(release_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  std::string Signature(const std::string& text) const { return FormatSignatureFile(SignMessage(text, seed_)); }
  TPublicKey Key() const { return PublicKeyOf(seed_); }

  // The text of the refusal of description with signature, "" when accepted.
  std::string Refusal(const std::string& description, const std::string& signature, std::string version = "2.0",
                      std::optional<TInstalledRelease> installed = std::nullopt, std::uint64_t lowest = 0) {
    try {
      CheckRelease(description, signature, Key(), version, installed, lowest);
      return "";
    } catch (const EReleaseError& e) {
      return e.Message();
    }
  }

  fs::path folder_;
  TSecretSeed seed_;
  TReleaseDescription release_;
  std::string description_;
};

TEST_F(ReleaseCheck, AcceptsTheSignedReleaseOfTheServersVersionFromTheInstalledNumberOn) {
  EXPECT_EQ(CheckRelease(description_, Signature(description_), Key(), "2.0", std::nullopt), release_);
  const std::string good = Signature(description_);
  EXPECT_EQ(Refusal(description_, good, "2.0", TInstalledRelease{7, Sha256Of(description_)}), "");  // again
  EXPECT_EQ(Refusal(description_, good, "2.0", TInstalledRelease{7, {}}), "");  // a record of the number alone
  EXPECT_EQ(Refusal(description_, good, "2.0", TInstalledRelease{0, {}}), "");
  EXPECT_EQ(Refusal(description_, good, "2.0", std::nullopt, 7), "");
  EXPECT_EQ(Refusal(description_, good, "2.0", TInstalledRelease{6, {}}, 7), "");
}

TEST_F(ReleaseCheck, RefusesWhatTheVendorDidNotSignForThisVersionAndAfterTheInstalledRelease) {
  const std::string good = Signature(description_);
  std::string changed = description_;
  changed[changed.find("number 7") + 7] = '8';
  EXPECT_EQ(Refusal(changed, good), "The release description's signature is not valid for this key");
  TSecretSeed other;
  other.fill(8);
  EXPECT_EQ(Refusal(description_, FormatSignatureFile(SignMessage(description_, other))),
            "The release description's signature is not valid for this key");
  EXPECT_EQ(Refusal(description_, good.substr(0, 100)), "The signature is not 128 lower-case hexadecimal digits");
  EXPECT_EQ(Refusal(description_, good, "2.00"),
            "The release description is for version \"2.0\", the server's version file says \"2.00\"");
  EXPECT_EQ(Refusal(description_, good, "2.0", TInstalledRelease{8, {}}),
            "Release 7 is older than release 8, which is installed");
  // Replays: another description signed with the installed number, and a
  // release below the lowest the launcher accepts, with a record or none.
  EXPECT_EQ(Refusal(description_, good, "2.0", TInstalledRelease{7, Sha256Of(description_ + " ")}),
            "Release 7 is installed with another description: one number, two releases");
  EXPECT_EQ(Refusal(description_, good, "2.0", std::nullopt, 8),
            "Release 7 is below release 8, the lowest this launcher accepts");
  EXPECT_EQ(Refusal(description_, good, "2.0", TInstalledRelease{6, {}}, 8),
            "Release 7 is below release 8, the lowest this launcher accepts");

  // Too large to be looked at: refused before its signature is.
  const std::string oversized = description_ + std::string(kMaxDescriptionBytes, '#');
  EXPECT_EQ(Refusal(oversized, good), "The release description has " + std::to_string(oversized.size()) +
                                         " bytes, more than the 4096 a description may have");
  // Signed, but not what the launcher can install.
  const std::string unparsable = description_ + "\n";
  EXPECT_NE(Refusal(unparsable, Signature(unparsable)).find("line 7"), std::string::npos);
  for (std::size_t files : {2u, 4u}) {
    TReleaseDescription other_files = release_;
    other_files.Files.resize(files, {"Extra.dll", 1, {}});
    const std::string text = FormatReleaseDescription(other_files);
    EXPECT_NE(Refusal(text, Signature(text)).find("does not list exactly the files"), std::string::npos) << files;
  }
  TReleaseDescription renamed = release_;
  renamed.Files[2].Name = "NTWDBLIB.DLL";
  const std::string text = FormatReleaseDescription(renamed);
  EXPECT_NE(Refusal(text, Signature(text)).find("does not list exactly the files"), std::string::npos);
}

TEST_F(ReleaseCheck, AFileMustHaveItsDescribedSizeAndDigest) {
  for (const char* name : kReleaseFileNames) EXPECT_NO_THROW(CheckReleaseFile(release_, name, Path(name)));

  std::string bytes = std::string(kReleaseFileNames[1]) + std::string(70000, 'x');
  bytes[65536] = 'y';  // in the second block
  Write(kReleaseFileNames[1], bytes);
  try {
    CheckReleaseFile(release_, kReleaseFileNames[1], Path(kReleaseFileNames[1]));
    ADD_FAILURE() << "a changed byte passed";
  } catch (const EReleaseError& e) {
    EXPECT_EQ(e.Message(), "Quillane.Exe's SHA-256 is not the one of the release description");
  }
  Write(kReleaseFileNames[1], bytes + "x");
  try {
    CheckReleaseFile(release_, kReleaseFileNames[1], Path(kReleaseFileNames[1]));
    ADD_FAILURE() << "a longer file passed";
  } catch (const EReleaseError& e) {
    EXPECT_EQ(e.Message(), "Quillane.Exe has 70013 bytes, the release description says 70012");
  }
  EXPECT_THROW(CheckReleaseFile(release_, "Other.Exe", Path(kReleaseFileNames[0])), EReleaseError);
  EXPECT_THROW(CheckReleaseFile(release_, kReleaseFileNames[0], Path("missing")), EFOpenError);
}

}  // namespace
