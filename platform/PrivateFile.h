// A file that only its owner may read or write, for the vendor's secret key.
// Not part of the Windows interface: one declaration, one implementation per
// system (platform/posix: permissions 0600; platform/win32: a protected
// access list that grants the current user alone).
#pragma once

#include "platform/Win32.h"

// Creates path as a new file, open for writing, that no other user may open.
// Fails when something of that name exists (ERROR_FILE_EXISTS). Returns a
// handle for WriteFile and CloseHandle, or INVALID_HANDLE_VALUE with
// GetLastError set.
HANDLE CreatePrivateFile(LPCSTR path);
