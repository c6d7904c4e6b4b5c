#include "classlib/SysUtils.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(StrToInt, AcceptsWholeIntegerTextsOnly) {
  struct Case {
    const char* text;
    int value;
  };
  const Case good[] = {{"0", 0},          {"137", 137},       {"-5", -5},     {"+7", 7},
                       {"  19", 19},      {"$1F", 31},        {"0x10", 16},   {"2147483647", 2147483647},
                       {"-2147483648", INT32_MIN}, {"$FFFFFFFF", -1}};
  for (const Case& c : good) EXPECT_EQ(StrToInt(c.text), c.value) << c.text;

  const char* bad[] = {"", " ", "12 ", "1a", "137)", "2147483648", "-2147483649", "--1", "0x", "$", "1.0"};
  for (const char* text : bad) {
    try {
      StrToInt(text);
      ADD_FAILURE() << "no error for '" << text << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), std::string("'") + text + "' is not a valid integer value");
    }
  }
}

TEST(Trim, RemovesEveryCharacterOfCode32OrLessAtBothEnds) {
  EXPECT_EQ(Trim(" \t\r\n 1.2 \x01\x1f "), "1.2");
  EXPECT_EQ(Trim("a\tb"), "a\tb");
  EXPECT_EQ(Trim(std::string("\0x\0", 3)), "x");
  EXPECT_EQ(Trim("\xEF\xBB\xBF" "1.0"), "\xEF\xBB\xBF" "1.0");  // bytes above 127 stay
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a "), "  a");
}

TEST(ShortString, CutsAt255Characters) {
  EXPECT_EQ(ShortString(std::string(300, 'x')).size(), 255u);
  EXPECT_EQ(ShortString("abc"), "abc");
}

TEST(FormatThousands, GroupsDigitsInThreesWithTheSeparator) {
  const TFormatSettings dot{".", ","};
  EXPECT_EQ(FormatThousands(1048576, dot), "1.048.576");
  EXPECT_EQ(FormatThousands(12288, dot), "12.288");
  EXPECT_EQ(FormatThousands(999, dot), "999");
  EXPECT_EQ(FormatThousands(1000, dot), "1.000");
  EXPECT_EQ(FormatThousands(0, dot), "0");
  EXPECT_EQ(FormatThousands(-1234567, dot), "-1.234.567");
  EXPECT_EQ(FormatThousands(INT32_MIN, dot), "-2.147.483.648");
  EXPECT_EQ(FormatThousands(INT64_MIN, dot), "-9.223.372.036.854.775.808");
  EXPECT_EQ(FormatThousands(1234567, TFormatSettings{"'", "."}), "1'234'567");
}

TEST(FormatSettings, AreSettableAndUsedByDefault) {
  const TFormatSettings saved = FormatSettings;
  EXPECT_FALSE(FormatSettings.ThousandSeparator.empty());
  FormatSettings.ThousandSeparator = ".";
  EXPECT_EQ(FormatThousands(1048576), "1.048.576");
  FormatSettings = saved;
}

// The user's separator in Windows-1252, as the canvas draws it, whatever
// code page the system gives it in: CTest runs this under a locale it names
// with the separator's bytes (THOUSAND_SEPARATOR_1252, hexadecimal).
TEST(FormatSettings, TheUsersThousandSeparatorIsInWindows1252) {
  const char* expected = std::getenv("THOUSAND_SEPARATOR_1252");
  if (!expected) GTEST_SKIP() << "run under a locale named by CTest";
  std::string bytes;
  for (const char c : FormatSettings.ThousandSeparator) bytes += Format("%02x", static_cast<unsigned char>(c));
  EXPECT_EQ(bytes, expected);
}

TEST(Format, FormatsLikePrintf) {
  EXPECT_EQ(Format("List index out of bounds (%d)", 1), "List index out of bounds (1)");
  EXPECT_EQ(Format("%s:%s", "a", "b"), "a:b");
  EXPECT_EQ(Format("%d%%", 42), "42%");
}

}  // namespace
