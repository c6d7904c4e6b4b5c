#include "platform/CurrentDirectory.h"

#include "platform/Win32.h"

#include <string>

namespace platform {

bool CurrentDirectoryHasAnsiName() {
  // A UTF-8 code page (a system-wide setting of Windows 10 and later) holds
  // every name.
  if (GetACP() == CP_UTF8) return true;
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return false;
  std::wstring name(size, L'\0');
  const DWORD length = GetCurrentDirectoryW(size, name.data());
  if (length == 0 || length >= size) return false;
  // Without best fit the conversion says whether it had to stand in for a
  // character; with it, as the ANSI functions convert, a look-alike would
  // stand in unseen.
  BOOL lossy = FALSE;
  const int converted = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(), static_cast<int>(length),
                                            nullptr, 0, nullptr, &lossy);
  return converted > 0 && !lossy;
}

}  // namespace platform
