// The update run where it depends on POSIX files: modes and symbolic links.
#include "tests/app/BrontelRun.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using brontelrun::BrontelRun;
using brontelrun::InstalledProduct;
using brontelrun::ServedProduct;

// The installed files keep what they were: the companion stays executable,
// the library private, and a product installed as a symbolic link stays a
// link, its target holding the new product.
TEST_F(BrontelRun, AnUpdateKeepsTheModesOfTheInstalledFilesAndALinkInPlaceOfOne) {
  ServeRelease("2.0");
  Local("VersioneAttuale.Txt", "1.0");
  Local("Quillane.Exe", "installed companion");
  fs::permissions(Work() / "Quillane.Exe", static_cast<fs::perms>(0755));
  Local("ntwdblib.dll", "installed library");
  fs::permissions(Work() / "ntwdblib.dll", static_cast<fs::perms>(0600));
  fs::create_directories(Work() / "versions");
  Local("versions/Merindo-1.exe", InstalledProduct());
  fs::permissions(Work() / "versions" / "Merindo-1.exe", static_cast<fs::perms>(0750));
  fs::create_symlink("versions/Merindo-1.exe", Work() / "Merindo_SQL_Dalvessa.Exe");
  RunLauncher();
  EXPECT_EQ(observe::beeps().size(), 3u);
  EXPECT_EQ(Read("Quillane.Exe"), std::string(150000, 'q'));
  EXPECT_EQ(fs::status(Work() / "Quillane.Exe").permissions(), static_cast<fs::perms>(0755));
  EXPECT_EQ(Read("ntwdblib.dll"), std::string(70000, 'n'));
  EXPECT_EQ(fs::status(Work() / "ntwdblib.dll").permissions(), static_cast<fs::perms>(0600));
  ASSERT_TRUE(fs::is_symlink(Work() / "Merindo_SQL_Dalvessa.Exe"));
  EXPECT_EQ(fs::read_symlink(Work() / "Merindo_SQL_Dalvessa.Exe"), "versions/Merindo-1.exe");
  EXPECT_EQ(Read("versions/Merindo-1.exe"), ServedProduct());
  EXPECT_EQ(fs::status(Work() / "versions" / "Merindo-1.exe").permissions(), static_cast<fs::perms>(0750));
  Application->DestroyComponents();
}


}  // namespace
