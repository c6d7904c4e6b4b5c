// File routines against what only POSIX file systems have: named pipes,
// modes and owners, symbolic links.
#include "classlib/Classes.h"
#include "tests/classlib/FileStreamFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A named pipe where a file is expected (nothing writes or reads its other
// end) must fail at once rather than hold the program. Should the open wait
// after all, the escape opens the other end after 10 s and the test fails.
TEST_F(TFileStreamTest, APipeInPlaceOfAFileFailsAtOnce) {
  const std::filesystem::path pipe = dir_ / "Versione.Txt";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  std::atomic<bool> done{false};
  std::thread escape([&] {
    for (int i = 0; i < 1000 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!done) {
      const int other = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK);
      while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      ::close(other);
    }
  });
  EXPECT_THROW(TFileStream(WindowsPath("versione.txt"), TFileStream::Mode::OpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(WindowsPath("versione.txt"), TFileStream::Mode::Create), EFCreateError);
  done = true;
  escape.join();
}

// What the replaced file was, the new one is: an executable companion stays
// executable, a private library stays private, and the owner stays where the
// process may set it (as root).
TEST_F(TFileStreamTest, AReplacementKeepsTheModeAndOwnerOfTheFileItReplaces) {
  const bool root = ::geteuid() == 0;
  for (const mode_t mode : {0755, 0600, 0640}) {
    SCOPED_TRACE(mode);
    const std::filesystem::path installed = dir_ / "Quillane.Exe";
    { std::ofstream(installed) << "installed"; }
    ASSERT_EQ(::chmod(installed.c_str(), mode), 0);
    if (root) {
      ASSERT_EQ(::chown(installed.c_str(), 4321, 4322), 0);
    }
    { std::ofstream(dir_ / "Quillane.Exe.download") << "new"; }  // made with the process's default mode
    ASSERT_TRUE(RenameFileReplacing(WindowsPath("Quillane.Exe.download"), WindowsPath("Quillane.Exe")));
    struct stat st {};
    ASSERT_EQ(::stat(installed.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
    if (root) {
      EXPECT_EQ(st.st_uid, 4321u);
      EXPECT_EQ(st.st_gid, 4322u);
    }
    std::ifstream in(installed);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "new");
  }
}

// An installed file that is a symbolic link: the new content replaces the
// link's target, as a write through the link would, and the link stays; along
// a chain of links too, and onto a target on another file system (the new
// content is put beside it first).
TEST_F(TFileStreamTest, AReplacementThroughASymbolicLinkReplacesItsTargetAndKeepsTheLink) {
  const std::filesystem::path elsewhere = "/dev/shm/classlib-link-target-" + std::to_string(::getpid());
  std::filesystem::create_directories(elsewhere);
  std::filesystem::create_directories(dir_ / "versions");
  struct Case {
    const char* name;
    std::filesystem::path linkText;  // what the link (the first of the chain) says
    std::filesystem::path target;    // the file at the end of the chain
  };
  const Case cases[] = {
      {"Merindo_SQL_Dalvessa.Exe", "versions/Merindo-2.exe", dir_ / "versions" / "Merindo-2.exe"},
      {"ntwdblib.dll", "versions/current", dir_ / "versions" / "ntwdblib-8.dll"},
      {"Quillane.Exe", elsewhere / "Quillane-1.exe", elsewhere / "Quillane-1.exe"},
  };
  std::filesystem::create_symlink("ntwdblib-8.dll", dir_ / "versions" / "current");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    { std::ofstream(c.target) << "installed"; }
    ASSERT_EQ(::chmod(c.target.c_str(), 0750), 0);
    std::filesystem::create_symlink(c.linkText, dir_ / c.name);
    { std::ofstream(dir_ / (std::string(c.name) + ".download")) << "new content"; }
    ASSERT_TRUE(RenameFileReplacing(WindowsPath(std::string(c.name) + ".download"), WindowsPath(c.name)));
    ASSERT_TRUE(std::filesystem::is_symlink(dir_ / c.name));
    EXPECT_EQ(std::filesystem::read_symlink(dir_ / c.name), c.linkText);
    std::ifstream in(c.target);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "new content");
    EXPECT_EQ(std::filesystem::status(c.target).permissions(), static_cast<std::filesystem::perms>(0750));
    EXPECT_FALSE(std::filesystem::exists(dir_ / (std::string(c.name) + ".download")));
  }
  // Nothing left beside the targets but the targets.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(elsewhere)) names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"Quillane-1.exe"});
  names.clear();
  for (const auto& entry : std::filesystem::directory_iterator(dir_ / "versions")) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Merindo-2.exe", "current", "ntwdblib-8.dll"}));
  std::filesystem::remove_all(elsewhere);
}

}  // namespace
