// On Linux the window's faces come from the folder of Debian's fonts-wine.
#include "platform/FontFiles.h"

#include <gtest/gtest.h>

namespace {

TEST(PosixFontFiles, TheWindowFacesComeFromTheFontsWineFolder) {
  EXPECT_EQ(platform::FindFontFile("Tahoma", false, false).path, "/usr/share/wine/fonts/tahoma.ttf");
  EXPECT_EQ(platform::FindFontFile("Tahoma", true, false).path, "/usr/share/wine/fonts/tahomabd.ttf");
  EXPECT_EQ(platform::FindFontFile("MS Sans Serif", false, false).path, "/usr/share/wine/fonts/ms_sans_serif.ttf");
}

}  // namespace
