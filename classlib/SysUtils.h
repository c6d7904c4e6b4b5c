// Exceptions, string and number routines, and the format settings of the
// class library. Strings are byte strings: one byte is one character.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

// Base of every exception the program raises; carries the message text.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const noexcept { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// A text that is not what a conversion expects, or an assignment between
// objects of unrelated classes.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A value outside the range of the type it is stored in.
class ERangeError : public Exception {
 public:
  ERangeError() : Exception("Range check error") {}
  using Exception::Exception;
};

// An index outside a list: "List index out of bounds (%d)".
class EListError : public Exception {
 public:
  using Exception::Exception;
};

// An operating-system resource (a timer, a window) that could not be had.
class EOutOfResources : public Exception {
 public:
  using Exception::Exception;
};

// printf-style formatting into a byte string, C99's conversions included
// (%zu, %llu). The build names the compiler's check for them when the C
// library's own printf is not that (mingw-w64: gnu_printf).
#ifndef LAUNCHER_PRINTF_FORMAT
#define LAUNCHER_PRINTF_FORMAT printf
#endif
std::string Format(const char* format, ...) __attribute__((format(LAUNCHER_PRINTF_FORMAT, 1, 2)));

std::string IntToStr(std::int64_t value);

// Strict conversion of a whole text to a 32-bit integer: leading blanks, an
// optional sign, decimal digits or a hexadecimal number ("$1F", "0x1F"), and
// nothing after. Raises EConvertError "'%s' is not a valid integer value".
int StrToInt(const std::string& text);

// Removes all leading and trailing characters of code 32 or less.
std::string Trim(const std::string& text);
std::string TrimLeft(const std::string& text);
std::string TrimRight(const std::string& text);

// ASCII upper case; other bytes unchanged.
std::string UpperCase(const std::string& text);

// The class library's short string holds at most 255 characters; a longer
// value is cut.
constexpr std::size_t kShortStringMax = 255;
std::string ShortString(const std::string& text);

// Regional number conventions. Taken from the user's locale at start-up and
// settable, as the program may rely on either.
struct TFormatSettings {
  std::string ThousandSeparator;
  std::string DecimalSeparator;
};
extern TFormatSettings FormatSettings;

// A whole number with its digits grouped in threes from the right, the groups
// separated by the thousands separator; a leading minus sign when negative.
// 1048576 with "." gives "1.048.576".
std::string FormatThousands(std::int64_t value, const TFormatSettings& settings = FormatSettings);

// The system's text of a Windows error code (GetLastError).
std::string SysErrorMessage(unsigned error);

// Files, by Windows path (backslashes; an existing file is found whatever the
// case of its name).
bool FileExists(const std::string& path);
bool DeleteFile(const std::string& path);
// The file steps below retry for about two seconds, a few times, while the
// system says a file is in use or access is denied: a virus scanner often
// opens a program or library file for a moment just after it was written
// or renamed.
//
// Replaces target by source in one step, durably: source's data is flushed to
// the disk before the rename, and the call returns once the new name is on
// the disk too (the move is made write-through, and the file is flushed again
// under its new name, which a journaling file system such as NTFS needs to
// commit a move within one volume), so that a power cut at any moment leaves
// target either as it was or complete with source's data. False on failure
// (GetLastError has the reason): the files are unchanged, unless only the
// flush of the new name failed, when target already has source's data but may
// lose it to a power cut.
bool RenameFileReplacing(const std::string& source, const std::string& target);
// Keeps the installed file at path under kept, durably, so that a new file
// can take path's place and RestoreFile can put the installed one back
// (platform/KeptFile.h says how each system does it). False on failure
// (GetLastError): path is as it was.
bool KeepFileAside(const std::string& path, const std::string& kept);
// Moves the kept file back over path, write-through. Nothing is flushed
// through a handle: a kept program may be running, and its data is on the
// disk already. False on failure (GetLastError).
bool RestoreFile(const std::string& kept, const std::string& path);
