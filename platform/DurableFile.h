// Files that must survive a power cut, and installed files kept aside while
// new ones take their names. Not part of the Windows interface: one
// declaration, with one implementation per system where the systems differ
// (platform/posix, platform/win32), otherwise one for both (DurableFile.cpp).
#pragma once

#include "platform/Win32.h"

// Flushes the file at path to the disk through a handle of its own (write
// access, no sharing: FlushFileBuffers needs write access). FALSE with
// GetLastError set when the file cannot be opened or flushed.
BOOL FlushFileByNameA(LPCSTR path);

// After MoveFileExA with MOVEFILE_WRITE_THROUGH has moved a file to path:
// returns once the move is on the disk. Windows writes a move through only
// when it is made as a copy (to another volume); within a volume NTFS keeps
// the move in its journal until the next flush, so the file is flushed under
// its new name (FlushFileByNameA). Linux: the emulation's write-through move
// has flushed both folders already; nothing is left to do.
BOOL CommitMoveA(LPCSTR path);

// Keeps the installed file at path under the name kept (replacing a file of
// that name) and returns once kept is on the disk; afterwards a new file can
// take path's place, and MoveFileExA of kept over path puts the installed
// file back. FALSE with GetLastError set when it fails; path is then as it
// was.
// - Windows: path is renamed to kept. A running program or a loaded library
//   may be renamed, though it cannot be replaced or deleted, so an install
//   can go on while the product's companion runs.
// - Linux: kept becomes a second name of the file path reaches (through its
//   symbolic links; a copy of it when that file lies on another file system
//   or takes no second name), and path stays: the new file then replaces it
//   as every replacement does there, through the links and with the installed
//   file's mode and owner.
BOOL KeepInstalledFileA(LPCSTR path, LPCSTR kept);
