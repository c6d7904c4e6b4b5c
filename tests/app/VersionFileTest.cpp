#include "app/VersionFile.h"

#include "classlib/Classes.h"
#include "tests/support/WholeTextVersionRule.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

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

// Texts made to trip a streaming reader: many short lines, lines longer than
// 255 characters, runs of blanks, every kind of break and NULs.
std::vector<std::string> GeneratedTexts() {
  std::mt19937 random(16);
  const std::string pieces[] = {"1.0", "v", " ", "\t", "\r", "\n", "\r\n", "\n\r", std::string(1, '\0'),
                                "\x01", "\x20", "\x21", "\xFF", "\xA0"};
  std::vector<std::string> texts;
  for (int n = 0; n < 3000; ++n) {
    std::string text;
    const int count = static_cast<int>(random() % 40);
    for (int k = 0; k < count; ++k) {
      const std::string& piece = pieces[random() % std::size(pieces)];
      // Now and then a long run, past the cut at 255.
      const std::size_t repeat = random() % 16 == 0 ? 200 + random() % 200 : 1;
      for (std::size_t r = 0; r < repeat; ++r) text += piece;
    }
    texts.push_back(text);
  }
  return texts;
}

TEST(VersionFromText, StreamingMatchesTheWholeTextRuleWhateverThePieces) {
  std::mt19937 random(61);
  for (const std::string& text : GeneratedTexts()) {
    const std::string expected = VersionFromWholeText(text);
    ASSERT_EQ(VersionFromText(text), expected) << '"' << text << '"';
    for (const std::size_t fixed : {1u, 2u, 3u, 7u, 255u, 256u, 0u}) {
      TVersionScanner scanner;
      for (std::size_t at = 0; at < text.size();) {
        const std::size_t piece = fixed ? fixed : 1 + random() % 300;
        const std::size_t size = std::min(piece, text.size() - at);
        scanner.Feed(text.data() + at, size);
        at += size;
      }
      ASSERT_EQ(scanner.Version(), expected) << "pieces of " << fixed << ": \"" << text << '"';
    }
  }
}

class ReadVersionFileTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir_); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& bytes) {
    std::ofstream(dir_ / "Versione.Txt", std::ios::binary) << bytes;
    return dir_.string() + "\\Versione.Txt";
  }
  // One folder a test: CTest runs the tests of this fixture side by side.
  const std::filesystem::path dir_ = std::filesystem::temp_directory_path() /
      (std::string("version-file-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

// Whatever falls on the edge between two blocks read from the file: the two
// halves of a CR LF, a NUL, blanks around the cut at 255, a long line.
TEST_F(ReadVersionFileTest, BlockBoundariesChangeNothing) {
  const std::size_t edge = kVersionFileBlock;
  const std::string nul(1, '\0');
  std::vector<std::string> texts;
  for (const std::size_t at : {edge - 2, edge - 1, edge, edge + 1, 2 * edge - 1, 2 * edge}) {
    const std::string before = std::string(at - 4, 'x') + "\n2.0";  // 2.0 ends just before `at`
    texts.push_back(before + "\r\n\r\n");
    texts.push_back(before + "\r\n3.0");
    texts.push_back(before + nul + "\n3.0");
    texts.push_back(before + "   \t" + std::string(edge, ' ') + "\n");
    texts.push_back(std::string(at, ' ') + "4.0" + std::string(300, 'y') + " ");
    texts.push_back(std::string(at - 100, 'z') + std::string(200, ' ') + "w\r");  // a line longer than a block
    texts.push_back("  " + std::string(at - 2, 'v') + std::string(edge, '\t'));
  }
  for (const std::string& text : texts)
    EXPECT_EQ(ReadVersionFile(Write(text)), VersionFromWholeText(text)) << text.size() << " bytes";
}

TEST_F(ReadVersionFileTest, ReadsByWindowsPathAndRaisesWhenTheFileIsMissing) {
  Write("1.0\r\n2.1\r\n");
  EXPECT_EQ(ReadVersionFile(dir_.string() + "\\versione.txt"), "2.1");
  EXPECT_THROW(ReadVersionFile(dir_.string() + "\\VersioneAttuale.Txt"), EFOpenError);
}

}  // namespace
