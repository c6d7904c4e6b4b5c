// The application object: message loop, main window, title and the standard
// exception handler.
#pragma once

#include "classlib/Classes.h"

#include <iosfwd>

// What the application needs of a form to show it as the main window.
class TMainWindow {
 public:
  virtual ~TMainWindow() = default;
  virtual void ShowMainWindow() = 0;
};

using TExceptionEvent = TEvent<TObject*, const std::exception&>;

class TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* owner);

  void Initialize() {}

  // Creates a form owned by the application and stores it in reference before
  // the form's own construction can use it. The first form created becomes
  // the main window.
  template <class TForm>
  void CreateForm(TForm*& reference) {
    reference = new TForm(this);
    if (!mainForm_) mainForm_ = reference;
  }

  TComponent* MainForm() const { return mainForm_; }

  // Shows the main window and dispatches messages until Terminate.
  void Run();
  // Dispatches every pending message, then returns (never waits); true if
  // there was any. A quit request found there ends Run.
  bool ProcessMessages();
  // Dispatches one message, waiting for it if none is pending.
  void HandleMessage();
  // Asks the message loop to end (WM_QUIT).
  void Terminate();
  bool Terminated() const { return terminated_; }

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }

  // The standard exception handler: OnException when assigned, else the
  // exception's message is shown (written to the error stream).
  void HandleException(TObject* sender, const std::exception& error);
  TExceptionEvent OnException;
  // Where the standard handler writes; stderr by default.
  void SetErrorStream(std::ostream* stream) { errorStream_ = stream; }

 private:
  bool ProcessMessage();

  TComponent* mainForm_ = nullptr;
  bool terminated_ = false;
  std::string title_;
  std::ostream* errorStream_;
};

// The program's application object. It lives as long as the process; the
// program entry frees the forms it owns (DestroyComponents) after Run.
extern TApplication* Application;
