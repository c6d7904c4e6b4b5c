#include "release/ReleaseCheck.h"

#include "classlib/Classes.h"

#include <algorithm>

TReleaseDescription CheckRelease(const std::string& description, const std::string& signatureFile,
                                 const TPublicKey& key, const std::string& serverVersion,
                                 std::optional<std::uint64_t> installedNumber) {
  if (description.size() > kMaxDescriptionBytes)
    throw EReleaseError(Format("The release description has %zu bytes, more than the %zu a description may have",
                               description.size(), kMaxDescriptionBytes));
  // Only signed bytes are parsed.
  if (!SignatureValid(description, ParseSignatureFile(signatureFile), key))
    throw EReleaseError("The release description's signature is not valid for this key");
  TReleaseDescription release = ParseReleaseDescription(description);
  if (release.Version != serverVersion)
    throw EReleaseError("The release description is for version \"" + release.Version +
                        "\", the server's version file says \"" + serverVersion + "\"");
  if (installedNumber && release.Number < *installedNumber)
    throw EReleaseError(Format("Release %llu is older than release %llu, which is installed",
                               static_cast<unsigned long long>(release.Number),
                               static_cast<unsigned long long>(*installedNumber)));
  const bool expected = release.Files.size() == std::size(kReleaseFileNames) &&
                        std::all_of(std::begin(kReleaseFileNames), std::end(kReleaseFileNames), [&](const char* name) {
                          return std::any_of(release.Files.begin(), release.Files.end(),
                                             [&](const TReleaseFile& file) { return file.Name == name; });
                        });
  if (!expected)
    throw EReleaseError(std::string("The release description does not list exactly the files ") +
                        kReleaseFileNames[0] + ", " + kReleaseFileNames[1] + " and " + kReleaseFileNames[2]);
  return release;
}

const TReleaseFile& ReleaseFileEntry(const TReleaseDescription& description, const std::string& name) {
  for (const TReleaseFile& file : description.Files)
    if (file.Name == name) return file;
  throw EReleaseError("The release description lists no file " + name);
}

void CheckReleaseFile(const TReleaseDescription& description, const std::string& name, const std::string& path) {
  const TReleaseFile& entry = ReleaseFileEntry(description, name);
  std::uint64_t size;
  {
    TFileStream file(path, TFileStream::Mode::OpenRead);
    size = static_cast<std::uint64_t>(file.Size());
  }
  if (size != entry.Size)
    throw EReleaseError(Format("%s has %llu bytes, the release description says %llu", name.c_str(),
                               static_cast<unsigned long long>(size), static_cast<unsigned long long>(entry.Size)));
  const TFileDigest digest = DigestFile(path);
  // The file may have changed since its size was taken.
  if (digest.Size != entry.Size || digest.Sha256 != entry.Sha256)
    throw EReleaseError(name + "'s SHA-256 is not the one of the release description");
}
