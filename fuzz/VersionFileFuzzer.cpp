// The version-file rule, for any bytes a version file holds.
#include "app/VersionFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string version = VersionFromText(bytes);
  // At most 255 characters, trimmed (the cut at 255 comes after the trim and
  // may end on a blank), one line, nothing from past a NUL.
  if (version.size() > 255) std::abort();
  if (!version.empty() && static_cast<unsigned char>(version.front()) <= 32) std::abort();
  if (!version.empty() && version.size() < 255 && static_cast<unsigned char>(version.back()) <= 32) std::abort();
  if (version.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) std::abort();
  if (!version.empty() && bytes.substr(0, bytes.find('\0')).find(version) == std::string::npos) std::abort();
  return 0;
}
