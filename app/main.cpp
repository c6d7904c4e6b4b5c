// The launcher's program entry. LAUNCHER_STALL_TIMEOUT_S, the stall guard in
// seconds, is a build setting (see app/CMakeLists.txt).
#include "app/Brontel.h"

int main() { return LauncherMain(LAUNCHER_STALL_TIMEOUT_S); }
