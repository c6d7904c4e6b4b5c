// render-main-window OUT.png [--icon ROW INDEX] [--row ROW PRODUCT VERSION]
//                   [--status TEXT] [--position PERCENT]
// Paints the launcher's window as its stored description lays it out, in the
// given state, and writes the client area as a PNG file: what a real run must
// show in that state. The screenshot tests compare captured pictures with it.
#include "app/Brontel.h"
#include "classlib/ComCtrls.h"
#include "classlib/Timer.h"
#include "widgets/FxProgressFill.h"
#include "widgets/FxStatusBar.h"

#include "platform/Observe.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: render-main-window OUT.png [--icon ROW INDEX] [--row ROW PRODUCT VERSION] "
                         "[--status TEXT] [--position PERCENT]\n");
    return 2;
  }
  try {
    TX_Brontel form(nullptr);
    form.TimerConnessione->SetEnabled(false);  // the window only, no run
    for (int i = 2; i < argc; ++i) {
      const std::string option = argv[i];
      auto next = [&]() -> std::string {
        if (++i >= argc) throw Exception("missing value after " + option);
        return argv[i];
      };
      if (option == "--icon") {
        const int row = std::atoi(next().c_str());
        form.ListaProdotti->Items()->Item(row)->SetImageIndex(std::atoi(next().c_str()));
      } else if (option == "--row") {
        TListItem* item = form.ListaProdotti->Items()->Item(std::atoi(next().c_str()));
        item->SubItems()->SetStrings(0, next());
        item->SubItems()->SetStrings(1, next());
      } else if (option == "--status") {
        (*form.Help_Stato->Panels())[0].SetText(next());
      } else if (option == "--position") {
        form.X_Progressivo->SetPosition(std::atoi(next().c_str()));
      } else {
        throw Exception("unknown option " + option);
      }
    }
    form.Update();
    TBitmap& surface = *form.Surface();
    if (!observe::writePng(argv[1], surface.Width(), surface.Height(), surface.Bits())) {
      std::fprintf(stderr, "render-main-window: cannot write %s\n", argv[1]);
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "render-main-window: %s\n", e.what());
    return 1;
  }
  return 0;
}
