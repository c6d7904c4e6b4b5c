// The run log: what each run of the launcher did, for the vendor's support.
//
// Each run appends to merindo-launcher.log in the working folder, one line per
// event: the local time to the millisecond, the step and what happened,
//
//   2026-12-09 14:03:27.512 download: Quillane.Exe, 1048576 bytes in 0.420 s (2438 KB/s)
//
// with CR LF line ends (the file is read with the system's text tools). When
// the log has passed kRotateAt bytes it is renamed to merindo-launcher.log.1,
// replacing the older one, and a new log begins, so the two together stay
// near twice that size.
//
// A log that cannot be opened or written (a read-only file or folder, a full
// disk) is given up silently: writing it never raises and never changes the
// run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TFileStream;

constexpr const char* kRunLogName = "merindo-launcher.log";
constexpr const char* kRunLogOldSuffix = ".1";

class TRunLog {
 public:
  static constexpr std::int64_t kRotateAt = 256 * 1024;
  // A line's text is cut at this many bytes: a server's reply is the server's
  // to choose, the log's size is not.
  static constexpr std::size_t kLineMax = 1000;

  TRunLog();
  ~TRunLog();
  TRunLog(const TRunLog&) = delete;
  TRunLog& operator=(const TRunLog&) = delete;

  // Opens, or creates, the log in folder (a Windows path). Failing that the
  // log stays closed and Line does nothing.
  void Open(const std::string& folder);
  bool IsOpen() const { return file_ != nullptr; }

  // Appends "<date> <time> <step>: <text>", without the text's own line end.
  // Other bytes below 32 in the text are shown as '?', so that no reply can
  // forge a line of its own.
  void Line(const std::string& step, const std::string& text) noexcept;

 private:
  void OpenFile();
  void Rotate();

  std::string path_;
  std::unique_ptr<TFileStream> file_;
  std::int64_t size_ = 0;
};
