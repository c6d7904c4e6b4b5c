// Whether the ANSI functions can name the current directory. One
// declaration, one implementation per system (platform/posix, platform/win32).
#pragma once

namespace platform {

// Whether the name GetCurrentDirectoryA gives leads to the current directory.
// Windows gives the ANSI functions its Unicode names in the ANSI code page,
// and a character that code page lacks becomes '?' or a look-alike letter:
// such a name leads to no folder, or to another one. Linux passes names
// through as they are: always true there.
bool CurrentDirectoryHasAnsiName();

}  // namespace platform
