#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(MulDiv, RoundsHalvesAwayFromZeroWithA64BitIntermediate) {
  struct Case {
    int a, b, c, expected;
  };
  const Case cases[] = {
      {1, 590, 236, 3},            // 2.5 -> 3
      {3, 590, 236, 8},            // 7.5 -> 8
      {2, 590, 236, 5},            // exactly 5
      {-1, 590, 236, -3},          // -2.5 -> -3
      {1, -590, 236, -3},
      {-1, -590, 236, 3},
      {1, 590, -236, -3},
      {117, -255, 235, -127},      // -126.96 -> -127
      {1, 1, 3, 0},                // 0.33 -> 0
      {2, 1, 3, 1},                // 0.67 -> 1
      {INT_MAX, INT_MAX, INT_MAX, INT_MAX},  // the product needs 62 bits
      {1000000, 1000000, 1000, 1000000000},
      {5, 7, 0, -1},               // division by zero
      {INT_MAX, 2, 1, -1},         // result beyond 32 bits
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << " * " << c.b << " / " << c.c;
  }
}

TEST(GetCurrentDirectoryA, ReturnsTheDirectoryOrTheSizeNeededWhenTheBufferIsTooSmall) {
  char buf[4096];
  const DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(std::string(buf).size(), n);

  char small[2] = {'x', 'y'};
  const DWORD needed = GetCurrentDirectoryA(sizeof small, small);
  EXPECT_EQ(needed, n + 1);  // the terminator counts
  EXPECT_EQ(small[0], 'x');  // the buffer is left untouched
}

TEST(Sleep, WaitsAtLeastTheGivenTime) {
  const DWORD before = GetTickCount();
  Sleep(20);
  EXPECT_GE(GetTickCount() - before, 20u);
}

TEST(GetSysColor, GivesTheDesktopsStandardColours) {
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
  EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));
  EXPECT_NE(GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
}

TEST(GetLocaleInfoW, GivesAThousandsSeparator) {
  WCHAR buf[8] = {};
  EXPECT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buf, 8), 1);
  EXPECT_NE(buf[0], u'\0');
}

}  // namespace
