// The release description: what a vendor signs for one release of the
// product, and the launcher checks before it installs anything.
//
// A small text file, lines ending in LF, in this order and nothing else:
//
//   merindo-release 1
//   version 2.0
//   number 7
//   file Merindo_SQL_Dalvessa.Exe 3145728 9f86d081884c7d65...0f00a08
//   file Quillane.Exe 1048576 ...
//   file ntwdblib.dll 786432 ...
//
// "merindo-release 1" names the format. The version is the server version
// file's last non-blank line, as the launcher reads it. The number grows with
// every release. Each file line holds the name, the size in bytes and the
// SHA-256 of the file's bytes in lower-case hexadecimal. Numbers are decimal
// without leading zeros. There is one spelling of every description:
// FormatReleaseDescription(ParseReleaseDescription(text)) == text.
#pragma once

#include "classlib/SysUtils.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// A release refused, or a description, signature, key or record that is not
// what it must be; the message says what and where.
class EReleaseError : public Exception {
 public:
  using Exception::Exception;
};

// A description longer than this is refused without being parsed; a real one
// is a few hundred bytes.
constexpr std::size_t kMaxDescriptionBytes = 4096;
// The largest release number and file size: 18 decimal digits.
constexpr std::uint64_t kMaxReleaseNumber = 999'999'999'999'999'999;

using TSha256 = std::array<std::uint8_t, 32>;

struct TReleaseFile {
  std::string Name;  // 1 to 64 characters of A-Z, a-z, 0-9, ".", "_", "-"
  std::uint64_t Size = 0;
  TSha256 Sha256{};
  friend bool operator==(const TReleaseFile&, const TReleaseFile&) = default;
};

struct TReleaseDescription {
  // 1 to 255 bytes, no NUL, CR or LF, none of code 32 or less at either end:
  // every non-empty text the version-file rule can give.
  std::string Version;
  std::uint64_t Number = 0;
  std::vector<TReleaseFile> Files;  // 1 to 16, names distinct
  friend bool operator==(const TReleaseDescription&, const TReleaseDescription&) = default;
};

// Raises EReleaseError naming the line and what is wrong with it.
TReleaseDescription ParseReleaseDescription(const std::string& text);
// The description's one spelling. Raises EReleaseError for a description
// that ParseReleaseDescription would refuse.
std::string FormatReleaseDescription(const TReleaseDescription& description);

// A whole text that is a number as the description writes one (decimal, no
// sign, no leading zero, at most kMaxReleaseNumber); false otherwise.
bool ParseReleaseNumber(const std::string& text, std::uint64_t& number);

// The text without one final LF or CR LF.
std::string WithoutLineEnd(const std::string& text);

// Bytes as lower-case hexadecimal, as the description, the signature and the
// key files write them.
std::string HexText(const std::uint8_t* bytes, std::size_t count);
// Exactly 2 x count lower-case hexadecimal digits into bytes; false (bytes
// unspecified) otherwise.
bool ParseHexText(const std::string& hex, std::uint8_t* bytes, std::size_t count);
