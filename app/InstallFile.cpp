#include "app/InstallFile.h"

#include "classlib/Classes.h"
#include "net/ftp/FtpClient.h"
#include "platform/Win32.h"

namespace {

constexpr const char* kJournalFormat = "merindo-install 1";

struct TJournalEntry {
  std::string Name;
  bool Replaced = false;  // an installed file was there, and is kept aside
};

struct TJournal {
  std::string Kept = kKeptSuffix;
  bool Installed = false;  // every file is in place
  std::vector<TJournalEntry> Files;
};

std::string JournalPath(const std::string& directory) { return directory + "\\" + kJournalName; }

std::string FormatJournal(const TJournal& journal) {
  std::string text = std::string(kJournalFormat) + "\nkept " + journal.Kept + "\nstate " +
                     (journal.Installed ? "installed" : "replacing") + "\n";
  for (const TJournalEntry& file : journal.Files) text += (file.Replaced ? "replace " : "add ") + file.Name + "\n";
  return text;
}

// A name that stays inside the working folder: no separator, no drive, no
// blank or control character, not "." or "..".
bool PlainName(const std::string& name) {
  if (name.empty() || name.size() > kShortStringMax || name == "." || name == "..") return false;
  for (char c : name)
    if (static_cast<unsigned char>(c) <= 32 || c == '\\' || c == '/' || c == ':') return false;
  return true;
}

TJournal ParseJournal(const std::string& text, const std::string& path) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) throw EInstallError("The install journal \"" + path + "\" is cut short");
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  const auto malformed = [&](std::size_t line) {
    return EInstallError(Format("The install journal \"%s\" is malformed at line %zu", path.c_str(), line + 1));
  };
  TJournal journal;
  if (lines.size() < 3 || lines[0] != kJournalFormat) throw malformed(0);
  journal.Kept = lines[1].substr(lines[1].find(' ') + 1);
  if (lines[1].compare(0, 5, "kept ") != 0 || !PlainName(journal.Kept) || journal.Kept.front() != '.')
    throw malformed(1);
  if (lines[2] != "state replacing" && lines[2] != "state installed") throw malformed(2);
  journal.Installed = lines[2] == "state installed";
  for (std::size_t i = 3; i < lines.size(); ++i) {
    const std::size_t space = lines[i].find(' ');
    const std::string word = lines[i].substr(0, space);
    const TJournalEntry entry{space == std::string::npos ? "" : lines[i].substr(space + 1), word == "replace"};
    if ((word != "replace" && word != "add") || !PlainName(entry.Name)) throw malformed(i);
    journal.Files.push_back(entry);
  }
  return journal;
}

void WriteJournal(const std::string& directory, const TJournal& journal) {
  const std::string path = JournalPath(directory);
  WriteFileDurably(path, path + kPartialSuffix, FormatJournal(journal));
}

TJournal ReadJournal(const std::string& path) {
  try {
    return ParseJournal(TFileStream(path, TFileStream::Mode::OpenRead).ReadAll(), path);
  } catch (const EStreamError& e) {
    throw EInstallError("The install journal cannot be read: " + e.Message());
  }
}

std::string Reason() { return SysErrorMessage(GetLastError()); }

}  // namespace

void ReceiveFile(TFtpClient& client, const std::string& remote, const std::string& local,
                 std::optional<std::uint64_t> limit) {
  // The caller's feedback handler keeps running; the bound runs after it.
  const TNotifyEvent feedback = client.OnPacketRecvd;
  bool cut = false;
  if (limit) {
    client.OnPacketRecvd = [&client, &cut, feedback, limit](TObject* sender) {
      if (feedback.Assigned()) feedback(sender);
      if (static_cast<std::uint64_t>(client.BytesCaptured()) > *limit) {
        cut = true;
        client.Abort();
      }
    };
  }
  try {
    client.Download(remote, local);
  } catch (...) {
    client.OnPacketRecvd = feedback;
    DeleteFile(local);
    if (cut)
      throw EFileTooLarge(
          Format("%s has more than %llu bytes", remote.c_str(), static_cast<unsigned long long>(*limit)));
    throw;
  }
  client.OnPacketRecvd = feedback;
}

TInstallation::TInstallation(std::string directory, std::size_t files)
    : directory_(std::move(directory)), files_(files) {}

TInstallation::~TInstallation() {
  for (const std::string& name : received_) DeleteFile(Partial(name));
}

std::string TInstallation::Partial(const std::string& name) const {
  return directory_ + "\\" + name + kPartialSuffix;
}

void TInstallation::Received(const std::string& name) { received_.push_back(name); }

void TInstallation::Install(const std::function<void()>& completing) {
  if (received_.empty()) return;
  // Some files alone would make a mixed install.
  if (received_.size() != files_)
    throw EInstallError(Format("Only %zu of the %zu files of the update arrived", received_.size(), files_));
  FinishInterrupted(directory_);
  TJournal journal;
  for (const std::string& name : received_)
    journal.Files.push_back({name, GetFileAttributesA((directory_ + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES});
  WriteJournal(directory_, journal);
  try {
    for (const TJournalEntry& file : journal.Files) {
      const std::string path = directory_ + "\\" + file.Name;
      if (file.Replaced) {
        if (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
          throw EInstallError("\"" + path + "\" is a folder, not a file");
        if (!KeepFileAside(path, path + journal.Kept))
          throw EInstallError("Cannot keep \"" + path + "\" aside. " + Reason());
      }
      PutInPlace(Partial(file.Name), path);
    }
    if (completing) completing();
    journal.Installed = true;
    WriteJournal(directory_, journal);
  } catch (const std::exception& failure) {
    try {
      FinishInterrupted(directory_);
    } catch (const std::exception& undo) {
      throw EInstallError(std::string(failure.what()) + "; the install could not be undone: " + undo.what());
    }
    throw;
  }
  received_.clear();
  try {
    FinishInterrupted(directory_);
  } catch (const EInstallError&) {
    // A kept program still running cannot be removed yet (Windows): the
    // journal, which says every file is in place, stays until a later run
    // removes it.
  }
}

std::string TInstallation::FinishInterrupted(const std::string& directory) {
  const std::string path = JournalPath(directory);
  std::string done;
  // A journal that never went in place: no file was touched after it, and
  // what it names was received for nothing.
  if (FileExists(path + kPartialSuffix)) {
    done = "an install that had not begun: its received files removed";
    try {
      for (const TJournalEntry& file : ReadJournal(path + kPartialSuffix).Files)
        DeleteFile(directory + "\\" + file.Name + kPartialSuffix);
    } catch (const EInstallError&) {
      // Cut short as it was written: the received files it would name stay,
      // as a crash during a download leaves its file.
    }
    DeleteFile(path + kPartialSuffix);
  }
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return done;
  const TJournal journal = ReadJournal(path);
  done = journal.Installed ? "an install that was complete: its kept files removed"
                           : "an interrupted install rolled back";
  std::string failed;
  for (auto file = journal.Files.rbegin(); file != journal.Files.rend(); ++file) {
    const std::string installed = directory + "\\" + file->Name;
    const std::string kept = installed + journal.Kept;
    if (journal.Installed) {
      if (file->Replaced && FileExists(kept) && !DeleteFile(kept))
        failed += " Cannot remove \"" + kept + "\". " + Reason();
    } else if (file->Replaced) {
      // A kept file is the installed one: it goes back over whatever took its
      // name. Once put back its kept name is gone, unless that was a second
      // name of the same file (Linux), which goes now.
      if (FileExists(kept)) {
        if (!RestoreFile(kept, installed)) {
          failed += " Cannot put \"" + installed + "\" back. " + Reason();
        } else {
          if (FileExists(kept)) DeleteFile(kept);
          done += ", " + file->Name + " put back";
        }
      }
    } else if (FileExists(installed)) {
      if (!DeleteFile(installed)) failed += " Cannot remove \"" + installed + "\". " + Reason();
      else done += ", " + file->Name + " removed";
    }
    DeleteFile(installed + kPartialSuffix);
  }
  if (failed.empty() && !DeleteFile(path)) failed = " Cannot remove \"" + path + "\". " + Reason();
  if (!failed.empty()) throw EInstallError("The install could not be finished." + failed);
  return done;
}

bool TInstallation::Mixed(const std::string& directory) {
  const std::string path = JournalPath(directory);
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  try {
    return !ReadJournal(path).Installed;
  } catch (const EInstallError&) {
    return true;
  }
}
