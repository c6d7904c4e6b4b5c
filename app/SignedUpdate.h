// Signed releases in the update run of a launcher built with its vendor's
// public key (LAUNCHER_RELEASE_KEY): only what the vendor signed is installed.
//
// When the version check decides to update, Fetch receives the product
// folder's release description and its signature with the same client
// operations as every other file ("TYPE L 8", "PORT", "RETR" for each) and
// checks them (release/ReleaseCheck.h): the signature by the built-in key,
// the version against the server's version file, the release number against
// the one recorded as installed. Each of the three files is then received
// beside the installed one (<file>.download), checked for its size and
// SHA-256 and kept there; Install puts all three in place only when all three
// arrived and passed, and then records the release's number. So a refused
// release or file leaves every installed file as it was.
//
// The record is the working folder's RilascioAttuale.Txt: the number of the
// last release installed completely, in decimal, and a line feed. A missing
// record accepts any number; an unreadable or malformed one refuses the
// update, so that a damaged record cannot reopen the way to an old release.
#pragma once

#include "release/ReleaseDescription.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TFtpClient;

class TSignedUpdate {
 public:
  // key: the vendor's public key, 64 lower-case hexadecimal digits.
  // localDirectory: the working folder, where everything is received.
  TSignedUpdate(TFtpClient& client, std::string key, std::string localDirectory);
  // Removes whatever was received and not installed.
  ~TSignedUpdate();
  TSignedUpdate(const TSignedUpdate&) = delete;
  TSignedUpdate& operator=(const TSignedUpdate&) = delete;

  // Receives <remoteFolder>/Rilascio.Txt and <remoteFolder>/Rilascio.Sig and
  // checks them. A transfer that goes past the few KiB a description may have
  // is cut at the first block beyond, unread. Raises EReleaseError when the
  // release is refused, the client's or the class library's errors when a
  // file cannot be had.
  void Fetch(const std::string& remoteFolder, const std::string& serverVersion);
  // Receives the remote file (a path ending in a file name of the
  // description) into local + ".download" with the transfer type the caller
  // set, and checks it; the transfer is cut
  // past the described size. On any failure the received file is removed and
  // the error raised (EReleaseError when it does not match).
  void Download(const std::string& remote, const std::string& local);
  // Puts every received file in its place, then records the release number.
  // Raises EReleaseError when not every file of the release arrived, the
  // class library's file errors when one cannot be put in place.
  void Install();

  // The record in folder: the number, none when there is no record. Raises
  // EReleaseError when the record cannot be read or is malformed.
  static std::optional<std::uint64_t> ReadRecord(const std::string& folder);
  // Writes the record in folder atomically (a temporary file put in place).
  static void WriteRecord(const std::string& folder, std::uint64_t number);

 private:
  // Receives remote into local, cutting the transfer at the first block past
  // limit bytes; a failed transfer's file is removed.
  void DownloadAtMost(const std::string& remote, const std::string& local, std::uint64_t limit);
  // A small file of the product folder, received, read and removed.
  std::string FetchText(const std::string& remote, std::uint64_t limit);

  TFtpClient& client_;
  std::string key_;
  std::string directory_;
  std::optional<TReleaseDescription> release_;
  std::vector<std::pair<std::string, std::string>> received_;  // (partial, local) not yet in place
};
