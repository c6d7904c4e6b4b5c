#include "app/VersionFile.h"

#include "classlib/Classes.h"

#include <algorithm>

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// The first CR, LF or NUL from p on, or end. One comparison rules out every
// byte above CR, which is nearly all of a text.
const char* FindLineEnd(const char* p, const char* end) {
  for (; p < end; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c <= '\r' && (c == '\r' || c == '\n' || c == '\0')) break;
  }
  return p;
}

}  // namespace

// CR, LF and CR LF each end a line. Taking the CR and the LF of a CR LF for
// two breaks only adds an empty line, which changes no version, so a CR LF
// split between two pieces needs no state.
bool TVersionScanner::Feed(const char* data, std::size_t size) {
  const char* const end = data + size;
  while (data < end && !ended_) {
    const char* const lineEnd = FindLineEnd(data, end);
    AddToLine(data, static_cast<std::size_t>(lineEnd - data));
    if (lineEnd == end) break;
    if (*lineEnd == '\0') {
      ended_ = true;  // the line before the NUL is the text's last
      break;
    }
    EndLine();
    data = lineEnd + 1;
  }
  return !ended_;
}

void TVersionScanner::AddToLine(const char* data, std::size_t size) {
  if (lineLength_ == 0) {
    while (size > 0 && IsBlank(*data)) {
      ++data;
      --size;
    }
  }
  if (size == 0) return;
  lineHead_.append(data, std::min(size, kShortStringMax - lineHead_.size()));
  std::size_t upToLastNonBlank = size;
  while (upToLastNonBlank > 0 && IsBlank(data[upToLastNonBlank - 1])) --upToLastNonBlank;
  if (upToLastNonBlank > 0) trimmedLength_ = lineLength_ + upToLastNonBlank;
  lineLength_ += size;
}

void TVersionScanner::EndLine() {
  if (trimmedLength_ > 0) {
    // The line's head becomes the version without a copy; the two texts
    // trade their buffers, so a file of many lines allocates nothing.
    version_.swap(lineHead_);
    version_.resize(VersionLength());
  }
  lineHead_.clear();
  lineLength_ = 0;
  trimmedLength_ = 0;
}

std::size_t TVersionScanner::VersionLength() const {
  return static_cast<std::size_t>(std::min<std::uint64_t>(trimmedLength_, kShortStringMax));
}

std::string TVersionScanner::Version() const {
  return trimmedLength_ > 0 ? lineHead_.substr(0, VersionLength()) : version_;
}

std::string VersionFromText(const std::string& bytes) {
  TVersionScanner scanner;
  scanner.Feed(bytes.data(), bytes.size());
  return scanner.Version();
}

std::string ReadVersionFile(const std::string& path) {
  TFileStream file(path, TFileStream::Mode::OpenRead);
  TVersionScanner scanner;
  char block[kVersionFileBlock];
  for (;;) {
    const long got = file.Read(block, sizeof block);
    if (got <= 0 || !scanner.Feed(block, static_cast<std::size_t>(got))) break;
  }
  return scanner.Version();
}
