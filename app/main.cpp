// The launcher's program entry.
#include "app/Brontel.h"

int main() { return LauncherMain(); }
