// The version rule as first written, over the whole text in memory: split at
// the breaks, trim each line, keep the last non-blank one. The launcher reads
// version files with the streaming TVersionScanner (app/VersionFile.h); this
// plain form is the reference that the tests and the fuzzer hold it to.
#pragma once

#include "classlib/SysUtils.h"

#include <string>

inline std::string VersionFromWholeText(const std::string& bytes) {
  const std::string text = bytes.substr(0, bytes.find('\0'));
  std::string version;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(start, end - start));
    if (!line.empty()) version = ShortString(line);
    if (end == text.size()) break;
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return version;
}
