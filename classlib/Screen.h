// The screen object: the cursor of the whole application.
#pragma once

#include "classlib/Classes.h"

using TCursor = int;
constexpr TCursor crDefault = 0;   // every control shows its own cursor
constexpr TCursor crArrow = -2;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crAppStart = -19;  // an arrow with a small busy sign

class TScreen : public TComponent {
 public:
  explicit TScreen(TComponent* owner) : TComponent(owner) {}

  TCursor Cursor() const { return cursor_; }
  // Sets the cursor for every window of the application; setting the current
  // value does nothing.
  void SetCursor(TCursor cursor);
  // Shows the screen's cursor unless it is the default (false): a window
  // calls it when the system asks for its cursor (WM_SETCURSOR), so that the
  // pointer keeps the screen's cursor wherever it moves over the program.
  bool ApplyCursor() const;

 private:
  TCursor cursor_ = crDefault;
};

// The program's screen object; lives as long as the process.
extern TScreen* Screen;
