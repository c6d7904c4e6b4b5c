// What a desktop sends to close a window: a WM_DELETE_WINDOW message of the
// WM_PROTOCOLS kind, straight to the client's window.
#pragma once

#include <X11/Xlib.h>

namespace testsupport {

inline void SendCloseRequest(Display* display, Window window) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &e);
  XFlush(display);
}

}  // namespace testsupport
