// The version-file rule, for any bytes a version file holds: the streaming
// scanner, fed whole and in pieces, against the whole-text rule it replaced.
#include "app/VersionFile.h"
#include "tests/support/WholeTextVersionRule.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string version = VersionFromText(bytes);
  if (version != VersionFromWholeText(bytes)) std::abort();
  // The same text in pieces whose sizes come from the text itself, so that
  // the fuzzer steers where breaks, NULs and blanks meet a piece's end.
  TVersionScanner pieces;
  for (std::size_t at = 0; at < size;) {
    const std::size_t piece = std::min<std::size_t>(1 + data[at] % 64, size - at);
    pieces.Feed(bytes.data() + at, piece);
    at += piece;
  }
  if (pieces.Version() != version) std::abort();
  // At most 255 characters, trimmed (the cut at 255 comes after the trim and
  // may end on a blank), one line, nothing from past a NUL.
  if (version.size() > 255) std::abort();
  if (!version.empty() && static_cast<unsigned char>(version.front()) <= 32) std::abort();
  if (!version.empty() && version.size() < 255 && static_cast<unsigned char>(version.back()) <= 32) std::abort();
  if (version.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) std::abort();
  if (!version.empty() && bytes.substr(0, bytes.find('\0')).find(version) == std::string::npos) std::abort();
  return 0;
}
