// Signed releases in the update run of a launcher built with its vendor's
// public key (LAUNCHER_RELEASE_KEY): only what the vendor signed is installed.
//
// When the version check decides to update, Fetch reads the release record,
// then receives the product folder's release description and its signature
// with the same client operations as every other file ("TYPE L 8", "PORT",
// "RETR" for each) and checks them (release/ReleaseCheck.h): the signature by
// the built-in key, the version against the server's version file, the
// release number against the lowest the launcher accepts and the one
// recorded as installed. Each of the three files is then received beside the
// installed one (<file>.download) and checked for its size and SHA-256;
// Install puts all three in place as one transaction (app/InstallFile.h) only
// when all three arrived and passed, and records the release before the
// transaction ends. So a refused release or file leaves every installed file
// as it was.
//
// The record is the working folder's RilascioAttuale.Txt: the number of the
// last release installed completely and the SHA-256 of its description
// (release/ReleaseCheck.h; a record of the number alone, as launchers before
// the digest wrote it, is read too). A missing record accepts any number from
// the lowest the launcher accepts; an unreadable or malformed one, or a
// folder of that name, refuses the update, so that a damaged record cannot
// reopen the way to an old release.
#pragma once

#include "release/ReleaseCheck.h"

#include <cstdint>
#include <optional>
#include <string>

class TFtpClient;
class TInstallation;

class TSignedUpdate {
 public:
  // key: the vendor's public key, 64 lower-case hexadecimal digits.
  // localDirectory: the working folder, where everything is received.
  // lowestNumber: the lowest release number the launcher accepts
  // (LAUNCHER_RELEASE_MIN).
  TSignedUpdate(TFtpClient& client, std::string key, std::string localDirectory, std::uint64_t lowestNumber = 0);
  TSignedUpdate(const TSignedUpdate&) = delete;
  TSignedUpdate& operator=(const TSignedUpdate&) = delete;

  // Reads the record, then receives <remoteFolder>/Rilascio.Txt and
  // <remoteFolder>/Rilascio.Sig and checks them. A transfer that goes past
  // the few KiB a description may have is cut at the first block beyond,
  // unread. Raises EReleaseError when the release is refused (a record that
  // cannot be read refuses it before anything is received), the client's or
  // the class library's errors when a file cannot be had.
  void Fetch(const std::string& remoteFolder, const std::string& serverVersion);
  // Receives the remote file (a path ending in a file name of the
  // description) into partial with the transfer type the caller set, and
  // checks it; the transfer is cut past the described size. On any failure
  // partial is removed and the error raised (EReleaseError when it does not
  // match).
  void Download(const std::string& remote, const std::string& partial);
  // Installs what installation received (TInstallation::Install), writing
  // the record once every file is in place. Raises EReleaseError when not
  // every file of the release arrived, what TInstallation::Install raises
  // otherwise.
  void Install(TInstallation& installation);
  // The description Fetch accepted.
  const TReleaseDescription& Description() const { return *release_; }

  // The record in folder: none when there is no record. Raises EReleaseError
  // when the record cannot be read, is malformed or is not a file.
  static std::optional<TInstalledRelease> ReadRecord(const std::string& folder);
  // Writes the record in folder durably (WriteFileDurably, through
  // <record>.download).
  static void WriteRecord(const std::string& folder, const TInstalledRelease& installed);

 private:
  // A small file of the product folder, received, read and removed.
  std::string FetchText(const std::string& remote, std::uint64_t limit);

  TFtpClient& client_;
  std::string key_;
  std::string directory_;
  std::uint64_t lowestNumber_;
  std::optional<TReleaseDescription> release_;
  TSha256 description_{};  // the SHA-256 of the checked description's bytes
};
