#include "classlib/SysUtils.h"

#include "classlib/Fonts.h"
#include "platform/DurableFile.h"
#include "platform/Win32.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (needed > 0) {
    out.resize(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<std::size_t>(needed));
  }
  va_end(args);
  return out;
}

std::string IntToStr(std::int64_t value) { return std::to_string(value); }

namespace {

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

}  // namespace

int StrToInt(const std::string& text) {
  auto fail = [&]() -> int { throw EConvertError(Format("'%s' is not a valid integer value", text.c_str())); };
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return fail();
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const int d = digitValue(text[i]);
    if (d >= base) return fail();
    value = value * base + d;
    // Hexadecimal texts may name the bit pattern of a negative number.
    const std::int64_t limit = base == 16 ? 0xFFFFFFFFLL : (negative ? 0x80000000LL : 0x7FFFFFFFLL);
    if (value > limit) return fail();
  }
  if (base == 16 && !negative) return static_cast<int>(static_cast<std::uint32_t>(value));
  if (negative) value = -value;
  if (value < INT32_MIN) return fail();
  return static_cast<int>(value);
}

std::string TrimLeft(const std::string& text) {
  std::size_t b = 0;
  while (b < text.size() && static_cast<unsigned char>(text[b]) <= 32) ++b;
  return text.substr(b);
}

std::string TrimRight(const std::string& text) {
  std::size_t e = text.size();
  while (e > 0 && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  return text.substr(0, e);
}

std::string Trim(const std::string& text) { return TrimLeft(TrimRight(text)); }

std::string UpperCase(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string ShortString(const std::string& text) {
  return text.size() <= kShortStringMax ? text : text.substr(0, kShortStringMax);
}

namespace {

// The user's setting in Windows-1252, the code page the canvas draws. Asked
// in Unicode: the ANSI call gives it in the system's code page, which may be
// another, or without the character at all (the narrow no-break space that
// groups French digits). A character Windows-1252 lacks becomes a no-break
// space: a separator that cannot be drawn shows as a gap.
std::string localeText(LCTYPE type, const char* fallback) {
  WCHAR buf[16] = {};
  const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buf, 16);
  if (length <= 1) return fallback;
  std::string text;
  for (int i = 0; i + 1 < length; ++i) text += fonts::UnicodeToAnsi(buf[i], '\xA0');
  return text;
}

}  // namespace

TFormatSettings FormatSettings{localeText(LOCALE_STHOUSAND, ","), localeText(LOCALE_SDECIMAL, ".")};

std::string FormatThousands(std::int64_t value, const TFormatSettings& settings) {
  const bool negative = value < 0;
  // The magnitude as unsigned, so that the most negative value works too.
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const std::string digits = std::to_string(magnitude);
  std::string out;
  if (negative) out += '-';
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += settings.ThousandSeparator;
    out += digits[i];
  }
  return out;
}

std::string SysErrorMessage(unsigned error) {
  char buf[512] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, buf,
                                 sizeof buf, nullptr);
  return TrimRight(std::string(buf, n));
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

namespace {

// A virus scanner that opened a new file holds it for a moment: five tries in
// about two seconds.
constexpr int kTriesWhileInUse = 5;
constexpr DWORD kPauseWhileInUseMs = 500;

// Runs step until it succeeds, fails for another reason than a file in use,
// or has had its tries; GetLastError is the last try's.
template <class Step>
bool RetriedWhileInUse(Step step) {
  for (int tries = 1;; ++tries) {
    if (step()) return true;
    const DWORD error = GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || tries == kTriesWhileInUse) return false;
    Sleep(kPauseWhileInUseMs);
  }
}

// Through a handle of its own, so that every writer of a file that will
// replace another gets this without having to flush it itself.
bool FlushToDisk(const std::string& path) {
  return RetriedWhileInUse([&] { return FlushFileByNameA(path.c_str()) != FALSE; });
}

bool MoveWriteThrough(const std::string& source, const std::string& target) {
  return RetriedWhileInUse([&] {
    return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  });
}

}  // namespace

bool RenameFileReplacing(const std::string& source, const std::string& target) {
  // Without the flush, a journaling file system may keep the rename through a
  // power cut but not the data: the target's name on an empty or partial file.
  return FlushToDisk(source) && MoveWriteThrough(source, target) &&
         RetriedWhileInUse([&] { return CommitMoveA(target.c_str()) != FALSE; });
}

bool KeepFileAside(const std::string& path, const std::string& kept) {
  return RetriedWhileInUse([&] { return KeepInstalledFileA(path.c_str(), kept.c_str()) != FALSE; });
}

bool RestoreFile(const std::string& kept, const std::string& path) { return MoveWriteThrough(kept, path); }
