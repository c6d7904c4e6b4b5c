// Where the platform finds the window's faces, on either system: the same
// families, case-insensitively, and a sans face for a missing family.
#include "platform/FontFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string FileNameOnly(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

TEST(FontFiles, TheWindowFamiliesAreFoundByNameAndStyle) {
  EXPECT_EQ(FileNameOnly(platform::FindFontFile("Tahoma", false, false).path), "tahoma.ttf");
  EXPECT_EQ(FileNameOnly(platform::FindFontFile("TAHOMA", true, false).path), "tahomabd.ttf");
  EXPECT_EQ(FileNameOnly(platform::FindFontFile("MS Sans Serif", false, false).path), "ms_sans_serif.ttf");
  // No bold MS Sans Serif: the regular face, which the canvas emboldens.
  EXPECT_EQ(FileNameOnly(platform::FindFontFile("MS Sans Serif", true, false).path), "ms_sans_serif.ttf");
}

TEST(FontFiles, AMissingFamilyGetsAFaceAllTheSame) {
  EXPECT_FALSE(platform::FindFontFile("No Such Family", false, false).path.empty());
}

TEST(FontFiles, FamilyNamesIgnoreTheCaseOfLetters) {
  EXPECT_TRUE(platform::SameFamilyName("MS Sans Serif", "ms sans SERIF"));
  EXPECT_FALSE(platform::SameFamilyName("Tahoma", "Tahoma Bold"));
  EXPECT_FALSE(platform::SameFamilyName("Tahoma", "Tahomb"));
}

}  // namespace
