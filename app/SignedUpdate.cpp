#include "app/SignedUpdate.h"

#include "app/InstallFile.h"
#include "classlib/Classes.h"
#include "net/ftp/FtpClient.h"
#include "release/ReleaseCheck.h"

namespace {

constexpr const char* kRecordName = "\\RilascioAttuale.Txt";

// BytesRecvd is a 32-bit counter; a bound this close to its end could be
// passed unseen, so larger files go unbounded (their check still holds).
constexpr std::uint64_t kLargestBound = 0xFFFF0000u;

}  // namespace

TSignedUpdate::TSignedUpdate(TFtpClient& client, std::string key, std::string localDirectory)
    : client_(client), key_(std::move(key)), directory_(std::move(localDirectory)) {}

TSignedUpdate::~TSignedUpdate() {
  for (const auto& file : received_) DeleteFile(file.first);
}

void TSignedUpdate::DownloadAtMost(const std::string& remote, const std::string& local, std::uint64_t limit) {
  // The window's feedback handler keeps running; the bound runs after it.
  const TNotifyEvent feedback = client_.OnPacketRecvd;
  if (limit < kLargestBound) {
    client_.OnPacketRecvd = [this, feedback, limit](TObject* sender) {
      if (feedback.Assigned()) feedback(sender);
      if (static_cast<std::uint32_t>(client_.BytesRecvd()) > limit) client_.Abort();
    };
  }
  try {
    client_.Download(remote, local);
  } catch (...) {
    client_.OnPacketRecvd = feedback;
    DeleteFile(local);
    throw;
  }
  client_.OnPacketRecvd = feedback;
}

std::string TSignedUpdate::FetchText(const std::string& remote, std::uint64_t limit) {
  const std::string local = directory_ + "\\" + remote.substr(remote.rfind('/') + 1) + kPartialSuffix;
  client_.SetTransferType(TypeLocal8);
  DownloadAtMost(remote, local, limit);
  std::string text;
  try {
    TFileStream file(local, TFileStream::Mode::OpenRead);
    if (static_cast<std::uint64_t>(file.Size()) > limit)
      throw EReleaseError(Format("%s has more than %llu bytes", remote.c_str(), static_cast<unsigned long long>(limit)));
    text = file.ReadAll();
  } catch (...) {
    DeleteFile(local);
    throw;
  }
  DeleteFile(local);
  return text;
}

void TSignedUpdate::Fetch(const std::string& remoteFolder, const std::string& serverVersion) {
  const std::string description = FetchText(remoteFolder + "/" + kDescriptionFileName, kMaxDescriptionBytes);
  const std::string signature = FetchText(remoteFolder + "/" + kSignatureFileName, kMaxDescriptionBytes);
  release_ = CheckRelease(description, signature, ParsePublicKeyFile(key_), serverVersion, ReadRecord(directory_));
}

void TSignedUpdate::Download(const std::string& remote, const std::string& local) {
  if (!release_) throw EReleaseError("No checked release description");
  const std::string name = remote.substr(remote.rfind('/') + 1);
  const std::string partial = local + kPartialSuffix;
  DownloadAtMost(remote, partial, ReleaseFileEntry(*release_, name).Size);
  try {
    CheckReleaseFile(*release_, name, partial);
  } catch (...) {
    DeleteFile(partial);
    throw;
  }
  received_.emplace_back(partial, local);
}

void TSignedUpdate::Install() {
  if (!release_ || received_.size() != release_->Files.size())
    throw EReleaseError("Not every file of the release arrived");
  while (!received_.empty()) {
    const auto [partial, local] = received_.front();
    received_.erase(received_.begin());
    PutInPlace(partial, local);
  }
  WriteRecord(directory_, release_->Number);
}

std::optional<std::uint64_t> TSignedUpdate::ReadRecord(const std::string& folder) {
  const std::string path = folder + kRecordName;
  if (!FileExists(path)) return std::nullopt;
  std::string text;
  try {
    text = TFileStream(path, TFileStream::Mode::OpenRead).ReadAll();
  } catch (const Exception& e) {
    throw EReleaseError("The release record cannot be read: " + e.Message());
  }
  std::uint64_t number = 0;
  if (!ParseReleaseNumber(WithoutLineEnd(text), number)) throw EReleaseError("The release record " + path + " is malformed");
  return number;
}

void TSignedUpdate::WriteRecord(const std::string& folder, std::uint64_t number) {
  const std::string path = folder + kRecordName;
  const std::string partial = path + kPartialSuffix;
  const std::string text = std::to_string(number) + "\n";
  try {
    TFileStream(partial, TFileStream::Mode::Create).WriteBuffer(text.data(), static_cast<long>(text.size()));
  } catch (...) {
    DeleteFile(partial);
    throw;
  }
  PutInPlace(partial, path);
}
