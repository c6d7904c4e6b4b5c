// The window's pieces that need no server: its creation, the icon
// animation, the sent-bytes text.
#include "app/Brontel.h"

#include "classlib/Application.h"
#include "classlib/ComCtrls.h"
#include "classlib/Timer.h"
#include "platform/Win32.h"
#include "widgets/FxStatusBar.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

TEST(TX_Brontel, FormCreateReadsTheDirectoryStripsTheSystemMenuAndPicksProfileB) {
  TX_Brontel form(nullptr);
  EXPECT_EQ(form.DirCorrente, fs::current_path().string());
  EXPECT_EQ(form.ProfiloServer, "B");
  EXPECT_EQ(form.RigaCorrente, 0);
  // Not one window command is left (Wine's system menu has an entry of its
  // own, "About Wine", which no command deletes).
  HMENU menu = GetSystemMenu(form.Handle(), FALSE);
  for (int i = 0; i < GetMenuItemCount(menu); ++i)
    for (int command : {SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_CLOSE})
      EXPECT_NE(GetMenuItemID(menu, i), static_cast<UINT>(command)) << "item " << i;
  EXPECT_EQ(Application->Title(), "Cavenor S.R.L. Software Update");
  EXPECT_TRUE(form.TimerConnessione->Enabled());
  EXPECT_FALSE(form.TimerAvvia->Enabled());
  EXPECT_FALSE(form.TimerDownload->Enabled());
  EXPECT_EQ(form.TimerDownload->Interval(), 300u);
}

// The directory as the system gives it in 260 characters, cut to 255; one
// that does not fit (260 characters and more, with the terminator) is ".".
TEST(TX_Brontel, TheCurrentDirectoryIsCutTo255OrIsTheDotWhenItDoesNotFit) {
  const fs::path saved = fs::current_path();
  const fs::path top = fs::temp_directory_path() / "brontel-deep";
  for (const std::size_t length : {255u, 256u, 259u, 260u, 300u}) {
    SCOPED_TRACE(length);
    fs::path deep = top;
    while (deep.string().size() < length) {
      const std::size_t remaining = length - deep.string().size();  // a separator and a name
      deep /= std::string(remaining > 200 ? 100 : remaining - 1, 'd');
    }
    ASSERT_EQ(deep.string().size(), length);
    fs::create_directories(deep);
    fs::current_path(deep);
    {
      TX_Brontel form(nullptr);
      EXPECT_EQ(form.DirCorrente, length < 260 ? deep.string().substr(0, 255) : std::string("."));
    }
    // Windows' file calls refuse whole paths beyond 260 characters: the
    // folders go from the deepest up, each by its name from within its parent.
    for (; deep != top; deep = deep.parent_path()) {
      fs::current_path(deep.parent_path());
      fs::remove(deep.filename());
    }
    fs::current_path(saved);
  }
  fs::remove(top);
}

TEST(TX_Brontel, TheGaugeCyclesThroughItsFiveFramesAndLeavesOtherIconsAlone) {
  TX_Brontel form(nullptr);
  form.RigaCorrente = 1;
  TListItem* row = form.ListaProdotti->Items()->Item(1);
  row->SetImageIndex(1);
  std::vector<int> frames;
  for (int i = 0; i < 6; ++i) {
    form.TimerDownloadTimer(nullptr);
    frames.push_back(row->ImageIndex());
  }
  EXPECT_EQ(frames, (std::vector<int>{2, 3, 4, 5, 1, 2}));
  for (int unchanged : {0, 6, -1}) {
    row->SetImageIndex(unchanged);
    form.TimerDownloadTimer(nullptr);
    EXPECT_EQ(row->ImageIndex(), unchanged);
  }
}

TEST(TX_Brontel, TheSentBytesTextGoesToTheOnlyPanel) {
  TX_Brontel form(nullptr);
  form.FtpClient1PacketSent(nullptr);
  EXPECT_EQ(form.Help_Stato->Panels()->Items(0)->Text(), " 0 Bytes di 0 Trasferiti");
}

}  // namespace
