// The launcher's program entry. LAUNCHER_STALL_TIMEOUT_S, the stall guard in
// seconds, LAUNCHER_MIN_RATE, the rate guard in bytes per guard period,
// LAUNCHER_RELEASE_KEY_HEX, the vendor's public key (empty for none),
// LAUNCHER_RELEASE_MIN, the lowest signed release accepted, and
// LAUNCHER_FTP_PASSIVE, whether the data connections are opened in passive
// mode, and LAUNCHER_LOG, whether the run log is written, are build settings
// (see app/CMakeLists.txt).
#include "app/Brontel.h"

int main() {
  return LauncherMain({LAUNCHER_STALL_TIMEOUT_S, LAUNCHER_MIN_RATE, LAUNCHER_RELEASE_KEY_HEX, LAUNCHER_RELEASE_MIN,
                       LAUNCHER_FTP_PASSIVE, LAUNCHER_LOG});
}
