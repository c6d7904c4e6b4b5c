#include "classlib/Application.h"
#include "classlib/Timer.h"
#include "platform/Win32.h"
#include "tests/support/RecordingWindow.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(TApplication, RunDispatchesUntilTerminateAndProcessMessagesNeverWaits) {
  TApplication app(nullptr);
  EXPECT_FALSE(app.ProcessMessages());  // nothing pending: returns at once
  testsupport::RecordingWindow w;
  PostMessageA(w.hwnd, WM_USER, 0, 0);
  PostMessageA(w.hwnd, WM_USER, 1, 0);
  EXPECT_TRUE(app.ProcessMessages());
  EXPECT_EQ(w.count(WM_USER), 2);
  TTimer timer(&app);
  timer.SetInterval(10);
  int ticks = 0;
  timer.SetOnTimer([&](TObject*) {
    if (++ticks == 3) app.Terminate();
  });
  app.Run();
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(ticks, 3);
}

TEST(TApplication, CreateFormStoresTheReferenceAndTheFirstFormIsTheMain) {
  struct TFormLike : TComponent, TMainWindow {
    using TComponent::TComponent;
    int shown = 0;
    void ShowMainWindow() override { ++shown; }
  };
  TApplication app(nullptr);
  TFormLike* first = nullptr;
  TFormLike* second = nullptr;
  app.CreateForm(first);
  app.CreateForm(second);
  EXPECT_EQ(app.MainForm(), first);
  EXPECT_EQ(first->Owner(), &app);
  app.Terminate();
  app.Run();
  EXPECT_EQ(first->shown, 1);
  EXPECT_EQ(second->shown, 0);
  app.DestroyComponents();
  EXPECT_EQ(app.ComponentCount(), 0);
}

TEST(TApplication, TheStandardHandlerShowsTheMessageOrCallsOnException) {
  TApplication app(nullptr);
  std::ostringstream err;
  app.SetErrorStream(&err);
  app.HandleException(nullptr, Exception("No Timer"));
  EXPECT_EQ(err.str(), "No Timer\n");
  std::string seen;
  app.OnException = [&](TObject*, const std::exception& e) { seen = e.what(); };
  app.HandleException(nullptr, Exception("boom"));
  EXPECT_EQ(seen, "boom");
}

TEST(TApplication, AnExceptionOutOfADispatchedMessageGoesToTheHandler) {
  TApplication app(nullptr);
  std::string seen;
  app.OnException = [&](TObject*, const std::exception& e) {
    seen = e.what();
    app.Terminate();
  };
  testsupport::RecordingWindow window;
  window.onMessage = [](UINT, WPARAM, LPARAM) { throw Exception("handler failed"); };
  PostMessageA(window.hwnd, WM_USER, 0, 0);
  app.Run();
  EXPECT_EQ(seen, "handler failed");
}

}  // namespace
