#include "app/VersionFile.h"

#include "classlib/Classes.h"

std::string VersionFromText(const std::string& bytes) {
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

std::string ReadVersionFile(const std::string& path) {
  TFileStream file(path, TFileStream::Mode::OpenRead);
  return VersionFromText(file.ReadAll());
}
