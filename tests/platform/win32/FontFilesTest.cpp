// On Windows the faces come from the Windows fonts folder, then from the
// program's own folder, found by the names the faces give themselves.
#include "platform/FontFiles.h"
#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of("\\/")); }

std::string WindowsFontsFolder() {
  char buffer[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(buffer, sizeof buffer);
  return std::string(buffer, length) + "\\Fonts";
}

std::string ProgramFolder() {
  char buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  return FolderOf(std::string(buffer, length));
}

// Tahoma is in both folders (the build puts a copy beside the program).
TEST(WindowsFontFiles, TheFontsFolderComesFirst) {
  EXPECT_EQ(FolderOf(platform::FindFontFile("Tahoma", false, false).path), WindowsFontsFolder());
}

// The build puts a face that the fonts folder lacks beside the test program,
// under a file name that is not its family's.
TEST(WindowsFontFiles, TheProgramsFolderHoldsFacesTooFoundByTheirOwnNames) {
  const platform::FontFile found = platform::FindFontFile("DejaVu Sans", false, false);
  EXPECT_EQ(found.path, ProgramFolder() + "\\beside-the-program.ttf");
}

}  // namespace
