// Kernel routines: time, arithmetic, current directory, last error, locale and
// system colours.
#include "platform/CurrentDirectory.h"
#include "platform/posix/Internal.h"

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace win32 {

namespace {
thread_local DWORD tlsLastError = 0;
}

void setLastError(DWORD error) { tlsLastError = error; }

}  // namespace win32

using namespace win32;

void WINAPI Sleep(DWORD ms) { os::sleepMs(ms); }

DWORD WINAPI GetTickCount() { return static_cast<DWORD>(os::monotonicMs()); }

void WINAPI GetLocalTime(SYSTEMTIME* time) {
  const os::LocalTime now = os::localTime();
  *time = {static_cast<WORD>(now.year),   static_cast<WORD>(now.month),  static_cast<WORD>(now.dayOfWeek),
           static_cast<WORD>(now.day),    static_cast<WORD>(now.hour),   static_cast<WORD>(now.minute),
           static_cast<WORD>(now.second), static_cast<WORD>(now.millisecond)};
}

int WINAPI MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
  std::int64_t quotient = product / denominator;
  const std::int64_t remainder = product % denominator;
  // Halves go away from zero.
  if (2 * std::llabs(remainder) >= std::llabs(static_cast<std::int64_t>(denominator)))
    quotient += ((product < 0) != (denominator < 0)) ? -1 : 1;
  if (quotient > INT32_MAX || quotient < INT32_MIN) return -1;
  return static_cast<int>(quotient);
}

DWORD WINAPI GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
  const std::string dir = os::currentDirectory();
  if (dir.empty()) {
    setLastError(os::win32ErrorFromErrno(os::lastErrno()));
    return 0;
  }
  // As on Windows: too small a buffer is left untouched and the size needed,
  // terminator included, is returned.
  if (buffer == nullptr || bufferLength < dir.size() + 1) return static_cast<DWORD>(dir.size() + 1);
  std::memcpy(buffer, dir.c_str(), dir.size() + 1);
  return static_cast<DWORD>(dir.size());
}

// Names are bytes here, passed to the system as they are.
bool platform::CurrentDirectoryHasAnsiName() { return true; }

BOOL WINAPI SetCurrentDirectoryA(LPCSTR path) {
  if (!path || !os::setCurrentDirectory(path)) {
    setLastError(os::win32ErrorFromErrno(os::lastErrno()));
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI GetLastError() { return tlsLastError; }

void WINAPI SetLastError(DWORD error) { tlsLastError = error; }

namespace {

// A locale text in UTF-16.
std::u16string toUtf16(const char* text) {
  std::u16string out;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    char32_t cp = *p;
    int more = 0;
    if (*p >= 0xF0) cp = *p & 0x07, more = 3;
    else if (*p >= 0xE0) cp = *p & 0x0F, more = 2;
    else if (*p >= 0xC0) cp = *p & 0x1F, more = 1;
    ++p;
    for (; more > 0 && (*p & 0xC0) == 0x80; --more) cp = (cp << 6) | (*p++ & 0x3F);
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      cp = 0xDC00 + ((cp - 0x10000) & 0x3FF);
    }
    out += static_cast<char16_t>(cp);
  }
  return out;
}

// The user's numeric conventions, read once from the environment's locale.
struct NumericLocale {
  std::u16string thousands = u",";
  std::u16string decimal = u".";
};

const NumericLocale& userNumericLocale() {
  static NumericLocale locale;
  static std::once_flag once;
  std::call_once(once, [] {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "")) {
      const std::lconv* conv = std::localeconv();
      if (conv->thousands_sep && *conv->thousands_sep) locale.thousands = toUtf16(conv->thousands_sep);
      if (conv->decimal_point && *conv->decimal_point) locale.decimal = toUtf16(conv->decimal_point);
      std::setlocale(LC_NUMERIC, saved.c_str());
    }
  });
  return locale;
}

}  // namespace

int WINAPI GetLocaleInfoW(LCID, LCTYPE type, WCHAR* data, int size) {
  std::u16string value;
  switch (type) {
    case LOCALE_STHOUSAND: value = userNumericLocale().thousands; break;
    case LOCALE_SDECIMAL: value = userNumericLocale().decimal; break;
    default: setLastError(ERROR_INVALID_PARAMETER); return 0;
  }
  const int needed = static_cast<int>(value.size()) + 1;
  if (size == 0) return needed;
  if (!data || size < needed) {
    setLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(value.c_str(), value.c_str() + needed, data);
  return needed;
}

DWORD WINAPI GetSysColor(int index) {
  // The standard colours of a current Windows desktop.
  switch (index) {
    case COLOR_WINDOW: return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT: return RGB(0, 0, 0);
    case COLOR_BTNFACE: return RGB(240, 240, 240);
    case COLOR_BTNSHADOW: return RGB(160, 160, 160);
    case COLOR_GRAYTEXT: return RGB(109, 109, 109);
    case COLOR_BTNTEXT: return RGB(0, 0, 0);
    case COLOR_BTNHIGHLIGHT: return RGB(255, 255, 255);
    case COLOR_3DDKSHADOW: return RGB(105, 105, 105);
    case COLOR_3DLIGHT: return RGB(227, 227, 227);
    default: return 0;
  }
}
