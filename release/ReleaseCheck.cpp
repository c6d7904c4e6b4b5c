#include "release/ReleaseCheck.h"

#include "classlib/Classes.h"

#include <algorithm>

std::string FormatReleaseRecord(const TInstalledRelease& installed) {
  std::string text = std::to_string(installed.Number);
  if (installed.Description) text += " " + HexText(installed.Description->data(), installed.Description->size());
  return text + "\n";
}

TInstalledRelease ParseReleaseRecord(const std::string& text) {
  const std::string line = WithoutLineEnd(text);
  const std::size_t space = line.find(' ');
  TInstalledRelease installed;
  bool valid = ParseReleaseNumber(line.substr(0, space), installed.Number);
  if (valid && space != std::string::npos) {
    installed.Description.emplace();
    valid = ParseHexText(line.substr(space + 1), installed.Description->data(), installed.Description->size());
  }
  if (!valid) throw EReleaseError("The release record is not a release number and a SHA-256");
  return installed;
}

TReleaseDescription CheckRelease(const std::string& description, const std::string& signatureFile,
                                 const TPublicKey& key, const std::string& serverVersion,
                                 const std::optional<TInstalledRelease>& installed, std::uint64_t lowestNumber) {
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
  const auto number = [](std::uint64_t n) { return static_cast<unsigned long long>(n); };
  if (release.Number < lowestNumber)
    throw EReleaseError(Format("Release %llu is below release %llu, the lowest this launcher accepts",
                               number(release.Number), number(lowestNumber)));
  if (installed && release.Number < installed->Number)
    throw EReleaseError(Format("Release %llu is older than release %llu, which is installed",
                               number(release.Number), number(installed->Number)));
  if (installed && release.Number == installed->Number && installed->Description &&
      Sha256Of(description) != *installed->Description)
    throw EReleaseError(Format("Release %llu is installed with another description: one number, two releases",
                               number(release.Number)));
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
