// The launcher's program entry. LAUNCHER_STALL_TIMEOUT_S, the stall guard in
// seconds, and LAUNCHER_RELEASE_KEY_HEX, the vendor's public key (empty for
// none), are build settings (see app/CMakeLists.txt).
#include "app/Brontel.h"

int main() { return LauncherMain(LAUNCHER_STALL_TIMEOUT_S, LAUNCHER_RELEASE_KEY_HEX); }
