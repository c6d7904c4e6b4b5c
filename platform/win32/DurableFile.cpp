// Durable moves and kept files on Windows.
#include "platform/DurableFile.h"

BOOL CommitMoveA(LPCSTR path) { return FlushFileByNameA(path); }

BOOL KeepInstalledFileA(LPCSTR path, LPCSTR kept) {
  return MoveFileExA(path, kept, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}
