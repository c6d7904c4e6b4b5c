#include "classlib/Forms.h"

#include "classlib/Screen.h"

#include "platform/Observe.h"
#include "platform/Win32.h"
#include "tests/support/Pixels.h"
#include "tests/support/RecordingWindow.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using testsupport::pumpPending;

// A control that fills itself with one colour and counts its paints.
class TSwatch : public TGraphicControl {
 public:
  TSwatch(TComponent* owner, TColor ink) : TGraphicControl(owner), ink_(ink) {}
  int paints = 0;
  bool fail = false;

 protected:
  void Paint() override {
    ++paints;
    if (fail) throw Exception("paint failed");
    Canvas()->Brush()->SetColor(ink_);
    Canvas()->FillRect(ClientRect());
  }

 private:
  TColor ink_;
};

observe::WindowView View(const TForm& form) {
  observe::WindowView view;
  EXPECT_TRUE(observe::viewWindow(form.Handle(), view));
  return view;
}

// The window shows exactly the form's surface.
::testing::AssertionResult WindowShowsSurface(TForm& form) {
  const observe::WindowView view = View(form);
  TBitmap& surface = *form.Surface();
  if (view.width != surface.Width() || view.height != surface.Height())
    return ::testing::AssertionFailure() << "window is " << view.width << " x " << view.height;
  if (view.pixels.empty()) return ::testing::AssertionFailure() << "nothing drawn into the window";
  for (int y = 0; y < view.height; ++y)
    for (int x = 0; x < view.width; ++x)
      if ((view.pixels[static_cast<std::size_t>(y * view.width + x)] & 0xFFFFFF) != (surface.ScanLine(y)[x] & 0xFFFFFF))
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") differs";
  return ::testing::AssertionSuccess();
}

class FormsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetClientWidth(200);
    form.SetClientHeight(100);
    form.SetColor(clWhite);
  }
  TForm form{nullptr};
};

TEST_F(FormsTest, TheWindowFollowsTheFormsSettings) {
  form.SetCaption("Cavenor S.R.L. Software Update");
  form.SetBorderStyle(bsSingle);
  form.SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize});
  form.SetPosition(poScreenCenter);
  observe::WindowView view = View(form);
  EXPECT_EQ(view.title, "Cavenor S.R.L. Software Update");
  EXPECT_FALSE(view.visible);
  EXPECT_EQ(view.width, 200);
  EXPECT_EQ(view.height, 100);
  EXPECT_EQ(view.style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
            WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  form.ShowMainWindow();
  view = View(form);
  EXPECT_TRUE(view.visible);
  // Centred on the desktop (1024 x 768 without a display).
  EXPECT_EQ(view.left, (GetSystemMetrics(SM_CXSCREEN) - 200) / 2);
  EXPECT_EQ(view.top, (GetSystemMetrics(SM_CYSCREEN) - 100) / 2);
  EXPECT_TRUE(WindowShowsSurface(form)) << "shown windows are painted at once";
}

TEST_F(FormsTest, BorderStylesAndIconsGiveTheirFrames) {
  struct Case {
    TBorderStyle border;
    TBorderIcons icons;
    DWORD style;
  };
  const DWORD bits = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_POPUP;
  const Case cases[] = {
      {bsSizeable, {biSystemMenu, biMinimize, biMaximize},
       WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME},
      {bsSingle, {biSystemMenu, biMaximize}, WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX},
      {bsSingle, {biMinimize, biMaximize}, WS_CAPTION},  // no system menu, no boxes
      {bsDialog, {biSystemMenu, biMinimize, biMaximize}, WS_POPUP | WS_CAPTION | WS_SYSMENU},
      {bsToolWindow, {biSystemMenu}, WS_CAPTION | WS_SYSMENU},
      {bsNone, {biSystemMenu, biMinimize}, WS_POPUP},
  };
  for (const Case& c : cases) {
    form.SetBorderStyle(c.border);
    form.SetBorderIcons(c.icons);
    EXPECT_EQ(View(form).style & bits, c.style) << "border style " << int{c.border};
  }
}

TEST_F(FormsTest, AnIconThatCannotBeReadKeepsTheWindowsIcon) {
  EXPECT_EQ(View(form).iconWidth, 0);
  const unsigned char junk[] = {1, 2, 3};
  EXPECT_THROW(form.Icon()->LoadFromMemory(junk, sizeof junk), EInvalidGraphic);
  EXPECT_EQ(View(form).iconWidth, 0);
}

TEST_F(FormsTest, PaintingReachesTheWindowThroughTheCycleAndAtOnce) {
  auto* swatch = new TSwatch(&form, clRed);
  swatch->SetParent(&form);
  swatch->SetBounds(10, 10, 20, 20);
  form.ShowMainWindow();
  EXPECT_EQ(swatch->paints, 1);
  EXPECT_TRUE(WindowShowsSurface(form));
  // Invalidations gather into one paint, run from the message queue.
  swatch->Invalidate();
  swatch->Invalidate();
  EXPECT_EQ(swatch->paints, 1);
  pumpPending();
  EXPECT_EQ(swatch->paints, 2);
  pumpPending();
  EXPECT_EQ(swatch->paints, 2);
  // Drawing outside the cycle is copied to the window as it happens.
  swatch->Canvas()->Brush()->SetColor(clBlue);
  swatch->Canvas()->FillRect(Rect(0, 0, 5, 5));
  EXPECT_TRUE(WindowShowsSurface(form));
  EXPECT_EQ(View(form).pixels[12 * 200 + 12] & 0xFFFFFF, 0x0000FFu);
}

TEST_F(FormsTest, AHiddenFormPaintsItsSurfaceButGetsNoPaintMessage) {
  auto* swatch = new TSwatch(&form, clRed);
  swatch->SetParent(&form);
  swatch->SetBounds(0, 0, 10, 10);
  pumpPending();
  EXPECT_EQ(swatch->paints, 0);
  form.Update();
  EXPECT_EQ(swatch->paints, 1);
  EXPECT_EQ(form.Surface()->PixelColor(1, 1), ColorToRGB(clRed));
}

TEST_F(FormsTest, AnExceptionWhilePaintingGoesToTheApplicationsHandler) {
  auto* swatch = new TSwatch(&form, clRed);
  swatch->SetParent(&form);
  swatch->SetBounds(0, 0, 10, 10);
  swatch->fail = true;
  std::string seen;
  Application->OnException = [&](TObject* sender, const std::exception& e) {
    EXPECT_EQ(sender, &form);
    seen = e.what();
  };
  ShowWindow(form.Handle(), SW_SHOW);
  pumpPending();
  Application->OnException = nullptr;
  EXPECT_EQ(seen, "paint failed");
  EXPECT_TRUE(IsWindow(form.Handle()));
}

TEST(TForm, DoCreateFiresOnCreateAndHandsItsExceptionsToTheApplication) {
  struct TMyForm : TForm {
    explicit TMyForm(std::string& log) : TForm(nullptr) {
      OnCreate = [&log, this](TObject* sender) {
        EXPECT_EQ(sender, this);
        log += "create(" + Caption() + ")";
        throw Exception("create failed");
      };
      SetCaption("stored");
      log += "stored;";
      DoCreate();
    }
  };
  std::string log;
  std::string handled;
  Application->OnException = [&](TObject*, const std::exception& e) { handled = e.what(); };
  TMyForm form(log);
  Application->OnException = nullptr;
  EXPECT_EQ(log, "stored;create(stored)");
  EXPECT_EQ(handled, "create failed");
}

TEST(TForm, ACloseRequestHonoursTheSystemMenu) {
  TForm form(nullptr);
  form.SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize});
  form.Show();
  SendMessageA(form.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(form.Visible()) << "with Close in the menu a form that is not the main one hides";
  form.Show();
  DeleteMenu(GetSystemMenu(form.Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND);
  SendMessageA(form.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(form.Visible());
}

// The system asks the window for its cursor whenever the pointer moves over
// it: the arrow, whatever shape the pointer came in with, and the screen's
// cursor while that is not the default.
TEST(TForm, ThePointerShowsTheArrowOrTheScreensCursor) {
  TForm form(nullptr);
  const auto pointerMoves = [&] {
    SendMessageA(form.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(form.Handle()),
                 MAKELONG(HTCLIENT, WM_MOUSEMOVE));
    return observe::currentCursor();
  };
  SetCursor(LoadCursorA(nullptr, IDC_IBEAM));  // from a text field
  EXPECT_EQ(pointerMoves(), 32512);
  Screen->SetCursor(crAppStart);
  SetCursor(LoadCursorA(nullptr, IDC_IBEAM));
  EXPECT_EQ(pointerMoves(), 32650);
  Screen->SetCursor(crDefault);
  SetCursor(LoadCursorA(nullptr, IDC_IBEAM));
  EXPECT_EQ(pointerMoves(), 32512);
}

TEST(TForm, TheWindowLivesAsLongAsTheForm) {
  HWND hwnd;
  {
    TForm form(nullptr);
    hwnd = form.Handle();
    EXPECT_TRUE(IsWindow(hwnd));
    form.Invalidate();
  }
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(pumpPending(), 0);
}

}  // namespace
