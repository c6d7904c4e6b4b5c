#include "classlib/Classes.h"
#include "classlib/SysUtils.h"
#include "platform/Win32.h"
#include "tests/classlib/FileStreamFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

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


TEST_F(TFileStreamTest, CreateTruncatesAndWritesByWindowsPath) {
  {
    std::ofstream(dir_ / "Data.Bin") << "old content that is longer";
  }
  {
    TFileStream f(WindowsPath("data.bin"), TFileStream::Mode::Create);  // finds Data.Bin
    f.WriteBuffer("new", 3);
  }
  // The one file, under its own name (a look-up by name alone would find it
  // whatever the case on Windows).
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"Data.Bin"});
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
    // The system's own text for the error (Wine words it otherwise than Windows).
    EXPECT_EQ(e.Message(), "Cannot open file \"" + WindowsPath("missing.txt") + "\". " +
                               SysErrorMessage(ERROR_FILE_NOT_FOUND));
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

}  // namespace
