// x-close-request WINDOW-ID: sends the window of $DISPLAY with that id (as
// xwininfo prints it, 0x...) the close request a desktop's close button
// sends, past any window manager. Exits 1 when the display cannot be opened.
#include "tests/support/XCloseRequest.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: x-close-request WINDOW-ID\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "x-close-request: cannot open the display\n");
    return 1;
  }
  testsupport::SendCloseRequest(display, static_cast<Window>(std::strtoul(argv[1], nullptr, 0)));
  XCloseDisplay(display);
  return 0;
}
