#include "app/VersionFile.h"

#include "classlib/Classes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

TEST(VersionFromText, IsTheLastNonBlankLineTrimmed) {
  struct Case {
    std::string text;
    std::string version;
  };
  const Case cases[] = {
      {"", ""},
      {"   \r\n\t\n\r\n", ""},                          // only blanks and breaks
      {"1.0", "1.0"},                                 // a final line without terminator counts
      {"1.0\r\n", "1.0"},
      {"1.0\r\n2.0\r\n3.0\r\n", "3.0"},               // several versions: the last counts
      {"3.0\r\n\r\n   \r\n\t\r\n", "3.0"},             // trailing blank lines
      {"1.0\n2.0", "2.0"},                            // LF
      {"1.0\r2.0\r", "2.0"},                          // CR alone
      {"1.0\r\n\n2.0", "2.0"},                        // CR LF is one break, then an empty line
      {"  \t 2.0 build\t7 \t ", "2.0 build\t7"},      // a tab inside counts
      {std::string("1.0\n2.0\0" "\n3.0", 11), "2.0"},  // a NUL hides what follows
      {std::string("\0" "1.0", 4), ""},
      {"\xEF\xBB\xBF" "1.0", "\xEF\xBB\xBF" "1.0"},  // a byte-order mark is not trimmed
      {"\x01\x02 1.0 \x1F", "1.0"},                    // control characters are trimmed
      {"\xA0" "1.0", "\xA0" "1.0"},                    // bytes above 127 are not blanks
  };
  for (const Case& c : cases) EXPECT_EQ(VersionFromText(c.text), c.version) << '"' << c.text << '"';
}

TEST(VersionFromText, KeepsTheFirst255Characters) {
  const std::string a = std::string(255, 'v') + "A";
  const std::string b = std::string(255, 'v') + "B";
  EXPECT_EQ(VersionFromText(a).size(), 255u);
  EXPECT_EQ(VersionFromText(a), VersionFromText(b));  // differ only after the 255th character
  EXPECT_EQ(VersionFromText(std::string(255, 'x')), std::string(255, 'x'));
}

TEST(VersionFromText, ComparesAsTextNotAsNumbers) {
  EXPECT_NE(VersionFromText("2.0"), VersionFromText("2.00"));
  EXPECT_NE(VersionFromText("1.1"), VersionFromText("1.10"));
  EXPECT_NE(VersionFromText("1.0"), VersionFromText("\xEF\xBB\xBF" "1.0"));
  EXPECT_NE(VersionFromText("Rel 1"), VersionFromText("rel 1"));
}

TEST(ReadVersionFile, ReadsByWindowsPathAndRaisesWhenTheFileIsMissing) {
  const auto dir = std::filesystem::temp_directory_path() / "version-file-test";
  std::filesystem::create_directories(dir);
  { std::ofstream(dir / "Versione.Txt", std::ios::binary) << "1.0\r\n2.1\r\n"; }
  EXPECT_EQ(ReadVersionFile(dir.string() + "\\versione.txt"), "2.1");
  EXPECT_THROW(ReadVersionFile(dir.string() + "\\VersioneAttuale.Txt"), EFOpenError);
  std::filesystem::remove_all(dir);
}

}  // namespace
