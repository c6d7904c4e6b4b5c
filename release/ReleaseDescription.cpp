#include "release/ReleaseDescription.h"

#include <set>

namespace {

constexpr const char* kFormatLine = "merindo-release 1";
constexpr std::size_t kMaxFiles = 16;
constexpr std::size_t kMaxNameLength = 64;
constexpr std::size_t kMaxNumberDigits = 18;

[[noreturn]] void Refuse(std::size_t line, const std::string& what) {
  throw EReleaseError(Format("Release description, line %zu: %s", line, what.c_str()));
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool ValidVersion(const std::string& version) {
  if (version.empty() || version.size() > kShortStringMax) return false;
  if (static_cast<unsigned char>(version.front()) <= 32 || static_cast<unsigned char>(version.back()) <= 32)
    return false;
  return version.find_first_of(std::string("\0\r\n", 3)) == std::string::npos;
}

bool ValidName(const std::string& name) {
  if (name.empty() || name.size() > kMaxNameLength) return false;
  for (char c : name) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!letter && !IsDigit(c) && c != '.' && c != '_' && c != '-') return false;
  }
  return true;
}

// The text after "<keyword> " when line starts so; false otherwise.
bool After(const std::string& line, const std::string& keyword, std::string& rest) {
  if (line.compare(0, keyword.size() + 1, keyword + " ") != 0) return false;
  rest = line.substr(keyword.size() + 1);
  return true;
}

TReleaseFile ParseFileLine(const std::string& line, std::size_t number) {
  std::string rest;
  if (!After(line, "file", rest)) Refuse(number, "expected \"file <name> <size> <SHA-256>\"");
  const std::size_t nameEnd = rest.find(' ');
  const std::size_t sizeEnd = nameEnd == std::string::npos ? nameEnd : rest.find(' ', nameEnd + 1);
  if (sizeEnd == std::string::npos) Refuse(number, "expected \"file <name> <size> <SHA-256>\"");
  TReleaseFile file;
  file.Name = rest.substr(0, nameEnd);
  if (!ValidName(file.Name))
    Refuse(number, "the file name is not 1 to 64 characters of letters, digits, \".\", \"_\" and \"-\"");
  if (!ParseReleaseNumber(rest.substr(nameEnd + 1, sizeEnd - nameEnd - 1), file.Size))
    Refuse(number, "the size of " + file.Name + " is not a decimal number of at most 18 digits");
  if (!ParseHexText(rest.substr(sizeEnd + 1), file.Sha256.data(), file.Sha256.size()))
    Refuse(number, "the SHA-256 of " + file.Name + " is not 64 lower-case hexadecimal digits");
  return file;
}

}  // namespace

std::string WithoutLineEnd(const std::string& text) {
  std::size_t end = text.size();
  if (end > 0 && text[end - 1] == '\n') --end;
  if (end > 0 && text[end - 1] == '\r' && end < text.size()) --end;
  return text.substr(0, end);
}

std::string HexText(const std::uint8_t* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 0; i < count; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 15];
  }
  return hex;
}

bool ParseHexText(const std::string& hex, std::uint8_t* bytes, std::size_t count) {
  if (hex.size() != 2 * count) return false;
  for (std::size_t i = 0; i < hex.size(); ++i) {
    const char c = hex[i];
    int digit;
    if (IsDigit(c)) digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else return false;
    if (i % 2 == 0) bytes[i / 2] = static_cast<std::uint8_t>(digit << 4);
    else bytes[i / 2] = static_cast<std::uint8_t>(bytes[i / 2] | digit);
  }
  return true;
}

bool ParseReleaseNumber(const std::string& text, std::uint64_t& number) {
  if (text.empty() || text.size() > kMaxNumberDigits || (text[0] == '0' && text.size() > 1)) return false;
  std::uint64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  number = value;
  return true;
}

TReleaseDescription ParseReleaseDescription(const std::string& text) {
  if (text.size() > kMaxDescriptionBytes)
    throw EReleaseError(Format("Release description: %zu bytes, more than the %zu a description may have",
                               text.size(), kMaxDescriptionBytes));
  if (text.empty() || text.back() != '\n')
    throw EReleaseError("Release description: the text does not end with a line feed");
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }

  if (lines[0] != kFormatLine) Refuse(1, std::string("expected \"") + kFormatLine + "\"");
  TReleaseDescription description;
  if (lines.size() < 2 || !After(lines[1], "version", description.Version)) Refuse(2, "expected \"version <text>\"");
  if (!ValidVersion(description.Version))
    Refuse(2, "the version is not 1 to 255 characters without line breaks, NUL or blanks at either end");
  std::string number;
  if (lines.size() < 3 || !After(lines[2], "number", number)) Refuse(3, "expected \"number <release number>\"");
  if (!ParseReleaseNumber(number, description.Number))
    Refuse(3, "the release number is not a decimal number of at most 18 digits");
  if (lines.size() < 4) Refuse(4, "no file is listed");
  if (lines.size() - 3 > kMaxFiles) Refuse(4 + kMaxFiles, Format("more than %zu files are listed", kMaxFiles));

  std::set<std::string> names;
  for (std::size_t i = 3; i < lines.size(); ++i) {
    description.Files.push_back(ParseFileLine(lines[i], i + 1));
    if (!names.insert(description.Files.back().Name).second)
      Refuse(i + 1, description.Files.back().Name + " is listed twice");
  }
  return description;
}

std::string FormatReleaseDescription(const TReleaseDescription& description) {
  std::string text = std::string(kFormatLine) + "\nversion " + description.Version + "\nnumber " +
                     std::to_string(description.Number) + "\n";
  for (const TReleaseFile& file : description.Files)
    text += "file " + file.Name + " " + std::to_string(file.Size) + " " + HexText(file.Sha256.data(), file.Sha256.size()) + "\n";
  // A field the format cannot carry (a blank in a name, a line break in the
  // version) would make another description of the text, or none.
  if (!(ParseReleaseDescription(text) == description))
    throw EReleaseError("Release description: a field holds a character the format cannot carry");
  return text;
}
