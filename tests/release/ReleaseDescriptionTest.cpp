#include "release/ReleaseDescription.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kHash(64, 'a');
const std::string kText = "merindo-release 1\n"
                          "version 2.0\n"
                          "number 7\n"
                          "file Merindo_SQL_Dalvessa.Exe 3145728 " + kHash + "\n"
                          "file Quillane.Exe 0 0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef\n"
                          "file ntwdblib.dll 786432 " + kHash + "\n";

// text with the first occurrence of from replaced by to.
std::string With(const std::string& from, const std::string& to, const std::string& text = kText) {
  std::string changed = text;
  changed.replace(changed.find(from), from.size(), to);
  return changed;
}

TEST(ReleaseDescription, ParsesTheFormatItWritesAndWritesItBackByteForByte) {
  const TReleaseDescription release = ParseReleaseDescription(kText);
  EXPECT_EQ(release.Version, "2.0");
  EXPECT_EQ(release.Number, 7u);
  ASSERT_EQ(release.Files.size(), 3u);
  EXPECT_EQ(release.Files[0].Name, "Merindo_SQL_Dalvessa.Exe");
  EXPECT_EQ(release.Files[0].Size, 3145728u);
  EXPECT_EQ(release.Files[1].Size, 0u);
  EXPECT_EQ(release.Files[1].Sha256[0], 0x01);
  EXPECT_EQ(release.Files[1].Sha256[31], 0xef);
  EXPECT_EQ(FormatReleaseDescription(release), kText);
}

TEST(ReleaseDescription, CarriesEveryVersionTheVersionFileRuleCanGive) {
  // Inner blanks, tabs and control characters, bytes above 127 (a byte-order
  // mark), 255 characters, the largest numbers.
  for (const std::string& version :
       {std::string("Versione 2.0\tbeta"), std::string("\xEF\xBB\xBF" "2.0"), std::string("a\x01z"),
        std::string(255, 'v')}) {
    TReleaseDescription release = ParseReleaseDescription(kText);
    release.Version = version;
    release.Number = kMaxReleaseNumber;
    release.Files[0].Size = kMaxReleaseNumber;
    EXPECT_EQ(ParseReleaseDescription(FormatReleaseDescription(release)), release) << version;
  }
}

TEST(ReleaseDescription, RefusesEveryTextThatIsNotOneOfItsSpellings) {
  struct Case {
    std::string text;
    const char* message;  // a part of the error's text
  };
  std::string seventeen = "merindo-release 1\nversion 2.0\nnumber 7\n";
  for (int i = 0; i < 17; ++i) seventeen += "file f" + std::to_string(i) + " 1 " + kHash + "\n";
  const Case cases[] = {
      {"", "does not end with a line feed"},
      {kText.substr(0, kText.size() - 1), "does not end with a line feed"},
      {With("\n", "\r\n"), "line 1: expected \"merindo-release 1\""},
      {With("release 1", "release 2"), "line 1"},
      {"merindo-release 1\n", "line 2: expected \"version <text>\""},
      {With("version 2.0", "version  2.0"), "line 2: the version is not"},
      {With("version 2.0", "version 2.0 "), "line 2: the version is not"},
      {With("version 2.0", "version "), "line 2: the version is not"},
      {With("version 2.0", "version " + std::string(256, 'v')), "line 2: the version is not"},
      {With("version 2.0", std::string("version 2.\0", 11) + "0"), "line 2: the version is not"},
      {With("version 2.0", "Version 2.0"), "line 2"},
      {With("number 7", "number 07"), "line 3: the release number is not"},
      {With("number 7", "number -7"), "line 3: the release number is not"},
      {With("number 7", "number +7"), "line 3: the release number is not"},
      {With("number 7", "number 7 "), "line 3: the release number is not"},
      {With("number 7", "number 1234567890123456789"), "line 3: the release number is not"},
      {With("number 7", "number"), "line 3: expected \"number <release number>\""},
      {"merindo-release 1\nversion 2.0\nnumber 7\n", "line 4: no file is listed"},
      {seventeen, "line 20: more than 16 files"},
      {kText + "\n", "line 7: expected \"file"},
      {With("file Quillane.Exe 0 ", "file Quillane.Exe  0 "), "line 5: the size of Quillane.Exe"},
      {With("Quillane.Exe", "Quil lane.Exe"), "line 5: the size of Quil"},
      {With("Quillane.Exe", "..\\Quillane.Exe"), "line 5: the file name is not"},
      {With("Quillane.Exe", "dir/Quillane.Exe"), "line 5: the file name is not"},
      {With("Quillane.Exe", std::string(65, 'q')), "line 5: the file name is not"},
      {With(" 0 0123", " 00 0123"), "line 5: the size of Quillane.Exe"},
      {With(" 0 0123", " 1e3 0123"), "line 5: the size of Quillane.Exe"},
      {With("0123456789abcdef0", "0123456789ABCDEF0"), "line 5: the SHA-256 of Quillane.Exe"},
      {With("0123456789abcdef0", "123456789abcdef0"), "line 5: the SHA-256 of Quillane.Exe"},
      {With(" 786432 " + kHash, " 786432 " + kHash + " "), "line 6: the SHA-256 of ntwdblib.dll"},
      {With("ntwdblib.dll", "Quillane.Exe"), "line 6: Quillane.Exe is listed twice"},
      {kText + std::string(kMaxDescriptionBytes - kText.size() + 1, '#'), "4097 bytes"},
  };
  for (const Case& c : cases) {
    try {
      ParseReleaseDescription(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const EReleaseError& e) {
      EXPECT_NE(e.Message().find(c.message), std::string::npos) << e.Message() << "\nfor: " << c.text;
    }
  }
}

TEST(ReleaseDescription, WritesNoDescriptionItsParserWouldReadOtherwise) {
  TReleaseDescription release = ParseReleaseDescription(kText);
  release.Files[1].Name = "Quillane.Exe 5 " + kHash + "\nfile x";  // would smuggle in another file
  EXPECT_THROW(FormatReleaseDescription(release), EReleaseError);
  release = ParseReleaseDescription(kText);
  release.Version = "2.0\nnumber 9";
  EXPECT_THROW(FormatReleaseDescription(release), EReleaseError);
  release = ParseReleaseDescription(kText);
  release.Number = kMaxReleaseNumber + 1;
  EXPECT_THROW(FormatReleaseDescription(release), EReleaseError);
}

TEST(ReleaseNumber, IsDecimalWithoutSignOrLeadingZeroUpTo18Digits) {
  std::uint64_t number = 99;
  EXPECT_TRUE(ParseReleaseNumber("0", number));
  EXPECT_EQ(number, 0u);
  EXPECT_TRUE(ParseReleaseNumber("999999999999999999", number));
  EXPECT_EQ(number, kMaxReleaseNumber);
  for (const char* bad : {"", "00", "012", "1000000000000000000", "18446744073709551617", "1 ", " 1", "0x1F"})
    EXPECT_FALSE(ParseReleaseNumber(bad, number)) << bad;
}

TEST(HexText, IsLowerCaseAndParsedOnlyWhole) {
  const std::uint8_t bytes[] = {0x00, 0x9f, 0xa0, 0xff};
  EXPECT_EQ(HexText(bytes, 4), "009fa0ff");
  std::uint8_t parsed[4] = {};
  EXPECT_TRUE(ParseHexText("009fa0ff", parsed, 4));
  EXPECT_EQ(std::string(parsed, parsed + 4), std::string(bytes, bytes + 4));
  for (const char* bad : {"009fa0f", "009fa0ff0", "009FA0FF", "009fa0fg", "009fa0f "})
    EXPECT_FALSE(ParseHexText(bad, parsed, 4)) << bad;
}

}  // namespace
