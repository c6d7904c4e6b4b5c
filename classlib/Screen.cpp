#include "classlib/Screen.h"

#include "platform/Win32.h"

TScreen* Screen = new TScreen(nullptr);

namespace {

LPCSTR systemCursor(TCursor cursor) {
  switch (cursor) {
    case crAppStart: return IDC_APPSTARTING;
    case crHourGlass: return IDC_WAIT;
    default: return IDC_ARROW;  // the controls' own cursor is the arrow
  }
}

}  // namespace

void TScreen::SetCursor(TCursor cursor) {
  if (cursor == cursor_) return;
  cursor_ = cursor;
  ::SetCursor(LoadCursorA(nullptr, systemCursor(cursor)));
}

bool TScreen::ApplyCursor() const {
  if (cursor_ == crDefault) return false;
  ::SetCursor(LoadCursorA(nullptr, systemCursor(cursor_)));
  return true;
}
