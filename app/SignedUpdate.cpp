#include "app/SignedUpdate.h"

#include "app/InstallFile.h"
#include "classlib/Classes.h"
#include "net/ftp/FtpClient.h"
#include "platform/Win32.h"

namespace {

constexpr const char* kRecordName = "\\RilascioAttuale.Txt";

}  // namespace

TSignedUpdate::TSignedUpdate(TFtpClient& client, std::string key, std::string localDirectory,
                             std::uint64_t lowestNumber)
    : client_(client), key_(std::move(key)), directory_(std::move(localDirectory)), lowestNumber_(lowestNumber) {}

std::string TSignedUpdate::FetchText(const std::string& remote, std::uint64_t limit) {
  const std::string local = directory_ + "\\" + remote.substr(remote.rfind('/') + 1) + kPartialSuffix;
  client_.SetTransferType(TypeLocal8);
  ReceiveFile(client_, remote, local, limit);
  std::string text;
  try {
    text = TFileStream(local, TFileStream::Mode::OpenRead).ReadAll();
  } catch (...) {
    DeleteFile(local);
    throw;
  }
  DeleteFile(local);
  return text;
}

void TSignedUpdate::Fetch(const std::string& remoteFolder, const std::string& serverVersion) {
  const std::optional<TInstalledRelease> installed = ReadRecord(directory_);
  const std::string description = FetchText(remoteFolder + "/" + kDescriptionFileName, kMaxDescriptionBytes);
  const std::string signature = FetchText(remoteFolder + "/" + kSignatureFileName, kMaxDescriptionBytes);
  release_ = CheckRelease(description, signature, ParsePublicKeyFile(key_), serverVersion, installed, lowestNumber_);
  description_ = Sha256Of(description);
}

void TSignedUpdate::Download(const std::string& remote, const std::string& partial) {
  if (!release_) throw EReleaseError("No checked release description");
  const std::string name = remote.substr(remote.rfind('/') + 1);
  ReceiveFile(client_, remote, partial, ReleaseFileEntry(*release_, name).Size);
  try {
    CheckReleaseFile(*release_, name, partial);
  } catch (...) {
    DeleteFile(partial);
    throw;
  }
}

void TSignedUpdate::Install(TInstallation& installation) {
  if (!release_ || installation.ReceivedCount() != release_->Files.size())
    throw EReleaseError("Not every file of the release arrived");
  installation.Install([this] { WriteRecord(directory_, {release_->Number, description_}); });
}

std::optional<TInstalledRelease> TSignedUpdate::ReadRecord(const std::string& folder) {
  const std::string path = folder + kRecordName;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  // It could never be written: every release would fail at its end, after
  // its files were received.
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    throw EReleaseError("The release record " + path + " is a folder, not a file");
  std::string text;
  try {
    text = TFileStream(path, TFileStream::Mode::OpenRead).ReadAll();
  } catch (const Exception& e) {
    throw EReleaseError("The release record cannot be read: " + e.Message());
  }
  try {
    return ParseReleaseRecord(text);
  } catch (const EReleaseError&) {
    throw EReleaseError("The release record " + path + " is malformed");
  }
}

void TSignedUpdate::WriteRecord(const std::string& folder, const TInstalledRelease& installed) {
  const std::string path = folder + kRecordName;
  WriteFileDurably(path, path + kPartialSuffix, FormatReleaseRecord(installed));
}
