#include "classlib/Classes.h"

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

std::vector<std::string>* gLog = nullptr;

class TLogged : public TComponent {
 public:
  TLogged(TComponent* owner, std::string name) : TComponent(owner), tag_(std::move(name)) {}
  ~TLogged() override {
    if (gLog) gLog->push_back(tag_);
  }

 private:
  std::string tag_;
};

TEST(TComponent, AnOwnerFreesWhatItOwnsLastCreatedFirst) {
  std::vector<std::string> log;
  gLog = &log;
  auto* owner = new TLogged(nullptr, "owner");
  new TLogged(owner, "a");
  auto* b = new TLogged(owner, "b");
  new TLogged(b, "b1");
  EXPECT_EQ(owner->ComponentCount(), 2);
  delete owner;
  gLog = nullptr;
  EXPECT_EQ(log, (std::vector<std::string>{"owner", "b", "b1", "a"}));
}

TEST(TComponent, AComponentFreedFirstLeavesItsOwner) {
  TComponent owner(nullptr);
  auto* child = new TComponent(&owner);
  EXPECT_EQ(child->Owner(), &owner);
  delete child;
  EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(TComponent, LoadingIsBracketedAndEndsWithLoaded) {
  struct TProbe : TComponent {
    using TComponent::TComponent;
    bool loadedSeenLoading = true;
    int loadedCalls = 0;
    void Loaded() override {
      ++loadedCalls;
      loadedSeenLoading = Loading();
    }
  };
  TComponent owner(nullptr);
  auto* probe = new TProbe(&owner);
  owner.BeginLoading();
  EXPECT_TRUE(probe->Loading());
  owner.EndLoading();
  EXPECT_FALSE(probe->Loading());
  EXPECT_EQ(probe->loadedCalls, 1);
  EXPECT_FALSE(probe->loadedSeenLoading);
}

TEST(TComponent, AComponentCreatedWhileItsOwnerLoadsIsLoadingUntilTheEnd) {
  struct TProbe : TComponent {
    using TComponent::TComponent;
    int loadedCalls = 0;
    void Loaded() override { ++loadedCalls; }
  };
  TComponent owner(nullptr);
  owner.BeginLoading();
  auto* created = new TProbe(&owner);  // as a stored form creates its components
  EXPECT_TRUE(created->Loading());
  owner.EndLoading();
  EXPECT_FALSE(created->Loading());
  EXPECT_EQ(created->loadedCalls, 1);
}

TEST(TObject, ClassNameIsTheDeclaredName) {
  TStringList list;
  EXPECT_EQ(list.ClassName(), "TStringList");
}

TEST(TPersistent, AssignBetweenUnrelatedClassesRaisesAConversionError) {
  TStringList list;
  TComponent component(nullptr);
  try {
    list.Assign(&component);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TComponent to a TStringList");
  }
}

TEST(TEvent, CallsOnlyWhenAssignedAndPassesReferences) {
  struct Handler {
    int calls = 0;
    void Retry(bool& handled) {
      ++calls;
      handled = true;
    }
  } h;
  TEvent<bool&> event;
  EXPECT_FALSE(event.Assigned());
  event = TEvent<bool&>(&h, &Handler::Retry);
  bool handled = false;
  if (event) event(handled);
  EXPECT_TRUE(handled);
  EXPECT_EQ(h.calls, 1);
  TNotifyEvent lambda = [](TObject*) {};
  EXPECT_TRUE(lambda.Assigned());
}

TEST(TStringList, IndexesRaiseOutsideTheList) {
  TStringList list;
  list.Add("a");
  list.Add("b");
  EXPECT_EQ(list[1], "b");
  try {
    list.Strings(2);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (2)");
  }
  list.SetText("x\r\ny\rz\n\nw");
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(list[3], "");
  EXPECT_EQ(list.Text(), "x\r\ny\r\nz\r\n\r\nw\r\n");
}

TEST(TStringList, OnChangeFollowsEveryChangeOfTheLines) {
  TStringList list;
  int changes = 0;
  list.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &list);
    ++changes;
  };
  list.Add("a");
  list.SetStrings(0, "b");
  list.SetText("x\ny");
  list.Delete(1);
  TStringList other;
  other.Add("z");
  list.Assign(&other);
  list.Clear();
  EXPECT_EQ(changes, 6);
  list.Clear();  // already empty
  EXPECT_THROW(list.SetStrings(0, "c"), EListError);
  EXPECT_EQ(changes, 6);
}

class TFileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("classlib-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string WindowsPath(const std::string& name) const { return dir_.string() + "\\" + name; }
  std::filesystem::path dir_;
};

TEST_F(TFileStreamTest, CreateTruncatesAndWritesByWindowsPath) {
  {
    std::ofstream(dir_ / "Data.Bin") << "old content that is longer";
  }
  {
    TFileStream f(WindowsPath("data.bin"), TFileStream::Mode::Create);  // finds Data.Bin
    f.WriteBuffer("new", 3);
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ / "data.bin"));
  std::ifstream in(dir_ / "Data.Bin");
  std::string content((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(content, "new");
  TFileStream r(WindowsPath("DATA.BIN"), TFileStream::Mode::OpenRead);
  EXPECT_EQ(r.Size(), 3);
  EXPECT_EQ(r.ReadAll(), "new");
}

TEST_F(TFileStreamTest, FailuresNameTheFileAndTheSystemReason) {
  try {
    TFileStream f(WindowsPath("missing.txt"), TFileStream::Mode::OpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"" + WindowsPath("missing.txt") +
                               "\". The system cannot find the file specified.");
  }
  try {
    TFileStream f(WindowsPath("no-such-folder\\x.txt"), TFileStream::Mode::Create);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_NE(e.Message().find("Cannot create file"), std::string::npos);
  }
  std::filesystem::create_directories(dir_ / "folder");
  EXPECT_THROW(TFileStream(WindowsPath("folder"), TFileStream::Mode::OpenRead), EFOpenError);
}

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

TEST_F(TFileStreamTest, FileRoutinesFollowWindowsPaths) {
  { std::ofstream(dir_ / "Merindo_SQL_Dalvessa.Exe") << "x"; }
  EXPECT_TRUE(FileExists(WindowsPath("Merindo_SQL_Dalvessa.exe")));
  EXPECT_FALSE(FileExists(WindowsPath("Merindo.exe")));
  std::filesystem::create_directories(dir_ / "sub");
  EXPECT_FALSE(FileExists(WindowsPath("sub")));  // a folder is not a file
  { std::ofstream(dir_ / "new.tmp") << "fresh"; }
  EXPECT_TRUE(RenameFileReplacing(WindowsPath("new.tmp"), WindowsPath("MERINDO_SQL_DALVESSA.EXE")));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "new.tmp"));
  EXPECT_EQ(std::filesystem::file_size(dir_ / "Merindo_SQL_Dalvessa.Exe"), 5u);  // replaced under its own name
  EXPECT_TRUE(DeleteFile(WindowsPath("merindo_sql_dalvessa.exe")));
  EXPECT_FALSE(FileExists(WindowsPath("Merindo_SQL_Dalvessa.Exe")));
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
