#include "app/RunLog.h"

#include "classlib/Classes.h"
#include "platform/Win32.h"

TRunLog::TRunLog() = default;

TRunLog::~TRunLog() = default;

void TRunLog::Open(const std::string& folder) {
  path_ = folder + "\\" + kRunLogName;
  OpenFile();
}

void TRunLog::OpenFile() {
  try {
    file_ = std::make_unique<TFileStream>(path_, TFileStream::Mode::Append);
    size_ = file_->Size();
  } catch (const std::exception&) {
    file_.reset();
  }
}

void TRunLog::Rotate() {
  file_.reset();
  // A log that cannot be moved aside is given up rather than let grow.
  if (!MoveFileExA(path_.c_str(), (path_ + kRunLogOldSuffix).c_str(), MOVEFILE_REPLACE_EXISTING)) return;
  OpenFile();
}

void TRunLog::Line(const std::string& step, const std::string& text) noexcept {
  if (!file_) return;
  try {
    if (size_ >= kRotateAt) {
      Rotate();
      if (!file_) return;
    }
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::string line = Format("%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay, now.wHour,
                              now.wMinute, now.wSecond, now.wMilliseconds);
    line += step;
    line += ": ";
    const std::size_t start = line.size();
    std::size_t length = text.size();
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n')) --length;  // a reply's own end
    line += length > kLineMax ? text.substr(0, kLineMax) + "..." : text.substr(0, length);
    for (std::size_t i = start; i < line.size(); ++i)
      if (static_cast<unsigned char>(line[i]) < 32) line[i] = '?';
    line += "\r\n";
    file_->WriteBuffer(line.data(), static_cast<long>(line.size()));
    size_ += static_cast<std::int64_t>(line.size());
  } catch (...) {
    file_.reset();
  }
}
