// Receiving the files of an update, and installing them all or none.
//
// Each file is received beside the installed one, as <name>.download. Only
// when every file of the update arrived (and, in a signed update, passed its
// checks) does TInstallation put them in place, as one transaction:
//
// 1. The journal kJournalName in the working folder names the files about to
//    be replaced and the suffix under which each installed file is kept; it
//    is written durably (a temporary file flushed and moved into place).
// 2. For each file in turn, the installed one is kept aside as
//    <name><kept suffix> (KeepFileAside), then the received one takes its
//    name (RenameFileReplacing).
// 3. When all are in place, and the caller's last step (a signed release's
//    record) is done, the journal is rewritten to say so; then the kept files
//    and the journal are removed.
//
// When a step fails, every file already replaced is put back from its kept
// copy, a file that was not installed before is removed, the received files
// and the journal go, and the failure is raised. A run that ends half-way (a
// crash, a power cut) leaves the journal: the next run, before anything
// else, finishes it (FinishInterrupted): it rolls back to the kept files,
// which are known good, unless the journal says every file was in place, and
// then only removes the kept files. While a journal says the files are mixed
// (Mixed), the product must not be started.
//
// The journal is a small text, lines ending in LF:
//
//   merindo-install 1
//   kept .kept
//   state replacing                (or: state installed)
//   replace Merindo_SQL_Dalvessa.Exe   (a file installed before, kept aside)
//   add ntwdblib.dll                   (a file not installed before)
//
// The names are file names in the working folder, in the order they are
// put in place.
#pragma once

#include "classlib/SysUtils.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TFtpClient;

// The names an install leaves in the working folder, which others (an
// uninstaller, a run log) refer to.
// A file being received, beside the installed one: <name>.download.
constexpr const char* kPartialSuffix = ".download";
// An installed file kept until the new ones are all in place: <name>.kept.
constexpr const char* kKeptSuffix = ".kept";
// The journal of an install in progress.
constexpr const char* kJournalName = "InstallazioneInCorso.Txt";

// A file cut off when it went past the bound its download was given.
class EFileTooLarge : public Exception {
 public:
  using Exception::Exception;
};

// An install that could not be done, undone or finished; the message says
// which file and why.
class EInstallError : public Exception {
 public:
  using Exception::Exception;
};

// Downloads remote into local with the transfer type the client has. With a
// limit, the transfer is cut at the first block that takes it past limit
// bytes (EFileTooLarge "<remote> has more than <limit> bytes"). On any
// failure local is removed and the error raised.
void ReceiveFile(TFtpClient& client, const std::string& remote, const std::string& local,
                 std::optional<std::uint64_t> limit = std::nullopt);

// The files one update received, and their install.
class TInstallation {
 public:
  // directory: the working folder (a Windows path), where the files are;
  // files: how many files the update has.
  TInstallation(std::string directory, std::size_t files);
  // Removes every received file that was not installed. Never throws.
  ~TInstallation();
  TInstallation(const TInstallation&) = delete;
  TInstallation& operator=(const TInstallation&) = delete;

  // Where the file of that name is received: <directory>\<name>.download.
  std::string Partial(const std::string& name) const;
  // The file of that name was received whole in Partial(name).
  void Received(const std::string& name);
  std::size_t ReceivedCount() const { return received_.size(); }

  // Puts every received file in place as one transaction (see above), with
  // completing run once they are all in place, before the install counts as
  // done. Finishes a journal an earlier run left first. Nothing when no file
  // was received (a run whose connection closed before any download); raises
  // EInstallError when some files of the update were not received (nothing
  // is touched then), EInstallError or the error of completing when the
  // install failed and was undone, EInstallError saying both when it could
  // not be undone either (the journal then stays for the next run).
  void Install(const std::function<void()>& completing = nullptr);

  // Finishes the install whose journal an earlier run left in directory: see
  // above. Nothing when there is none. Returns what it did, in a few words
  // for the run log ("" when there was nothing to finish). Raises
  // EInstallError when the journal cannot be read or a file cannot be put
  // back; the journal then stays.
  static std::string FinishInterrupted(const std::string& directory);
  // Whether directory holds a journal that does not say every file is in
  // place (or that cannot be read): the installed files may be mixed.
  static bool Mixed(const std::string& directory);

 private:
  std::string directory_;
  std::size_t files_;
  std::vector<std::string> received_;
};
