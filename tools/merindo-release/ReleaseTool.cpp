// merindo-release: the vendor's tool for signed releases of the product.
//
//   merindo-release keygen <key name>
//   merindo-release sign [--force] <secret key file> <release folder> <release number>
//   merindo-release verify <public key> <release folder> [<installed release number>]
//
// Exit codes: 0 done; 1 refused: verify: the launcher would refuse the
// release; sign: the number is not above that of the release the folder
// holds signed; 2 the command line is wrong; 3 a file or folder cannot be
// read or written, or a key file is not one. Messages go to the error output,
// the public key that keygen makes to the standard output.
#include "app/InstallFile.h"
#include "app/VersionFile.h"
#include "classlib/Classes.h"
#include "platform/Win32.h"
#include "release/ReleaseCheck.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kRefused = 1;
constexpr int kUsage = 2;
constexpr int kCannot = 3;

constexpr const char* kUsageText =
    "usage:\n"
    "  merindo-release keygen <key name>\n"
    "      writes <key name>.secret (readable by its owner only) and <key name>.public,\n"
    "      and prints the public key: the launcher's build setting LAUNCHER_RELEASE_KEY\n"
    "  merindo-release sign [--force] <secret key file> <release folder> <release number>\n"
    "      writes Rilascio.Txt and Rilascio.Sig into the folder, which holds Versione.Txt,\n"
    "      Merindo_SQL_Dalvessa.Exe, Quillane.Exe and ntwdblib.dll; refuses a number not above\n"
    "      that of the release the folder holds signed by the key, unless --force\n"
    "  merindo-release verify <public key or its file> <release folder> [<installed release number>]\n"
    "      checks the folder as the launcher would\n"
    "exit codes: 0 done, 1 refused (verify: the launcher would refuse the release; sign: the\n"
    "            number is not above the folder's signed release), 2 wrong command line,\n"
    "            3 a file or folder cannot be read or written, or a key file is not one\n";

// A failure with its exit code.
class EToolError : public Exception {
 public:
  EToolError(int code, const std::string& message) : Exception(message), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

std::string InFolder(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

void CheckFolder(const std::string& folder) {
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) throw EToolError(kCannot, "No folder \"" + folder + "\"");
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) throw EToolError(kCannot, "\"" + folder + "\" is not a folder");
}

// A file of at most limit bytes; a larger one raises EReleaseError.
std::string ReadSmallFile(const std::string& path, std::size_t limit) {
  TFileStream file(path, TFileStream::Mode::OpenRead);
  if (file.Size() > static_cast<std::int64_t>(limit))
    throw EReleaseError(Format("\"%s\" has more than %zu bytes", path.c_str(), limit));
  return file.ReadAll();
}

// The description already in folder when it is one the key signed (a release
// some launcher may have installed); none otherwise.
std::optional<std::string> SignedDescription(const std::string& folder, const TPublicKey& key) {
  const std::string path = InFolder(folder, kDescriptionFileName);
  if (!FileExists(path) || !FileExists(InFolder(folder, kSignatureFileName))) return std::nullopt;
  try {
    const std::string description = ReadSmallFile(path, kMaxDescriptionBytes);
    const TSignature signature =
        ParseSignatureFile(ReadSmallFile(InFolder(folder, kSignatureFileName), kMaxDescriptionBytes));
    if (!SignatureValid(description, signature, key)) return std::nullopt;
    ParseReleaseDescription(description);
    return description;
  } catch (const EReleaseError&) {
    return std::nullopt;
  }
}

void WriteTextFile(const std::string& path, const std::string& text, TFileStream::Mode mode) {
  TFileStream(path, mode).WriteBuffer(text.data(), static_cast<long>(text.size()));
}

std::uint64_t NumberArgument(const std::string& text, const char* what) {
  std::uint64_t number = 0;
  if (!ParseReleaseNumber(text, number))
    throw EToolError(kUsage, Format("The %s \"%s\" is not a decimal number of at most 18 digits without leading "
                                    "zeros", what, text.c_str()));
  return number;
}

std::string ServerVersion(const std::string& folder) {
  const std::string version = ReadVersionFile(InFolder(folder, kVersionFileName));
  if (version.empty()) throw EToolError(kCannot, std::string(kVersionFileName) + " holds no version line");
  return version;
}

std::string Describe(const TReleaseDescription& release) {
  std::string text = Format("release %llu of version \"%s\"", static_cast<unsigned long long>(release.Number),
                            release.Version.c_str());
  for (const TReleaseFile& file : release.Files)
    text += Format("\n  %-26s %12llu bytes  SHA-256 %s", file.Name.c_str(),
                   static_cast<unsigned long long>(file.Size), HexText(file.Sha256.data(), file.Sha256.size()).c_str());
  return text;
}

int KeyGen(const std::string& name) {
  const std::string secretPath = name + ".secret";
  const std::string publicPath = name + ".public";
  for (const std::string& path : {secretPath, publicPath})
    if (FileExists(path)) throw EToolError(kCannot, "\"" + path + "\" exists; a key is never overwritten");
  const TSecretSeed seed = NewSecretSeed();
  const TPublicKey key = PublicKeyOf(seed);
  WriteTextFile(secretPath, FormatSecretKeyFile(seed), TFileStream::Mode::CreatePrivate);
  WriteTextFile(publicPath, FormatPublicKeyFile(key), TFileStream::Mode::Create);
  std::fputs(FormatPublicKeyFile(key).c_str(), stdout);
  std::fprintf(stderr,
               "merindo-release: wrote %s (the secret key: keep it safe, readable by you only) and %s;\n"
               "build the launcher with -DLAUNCHER_RELEASE_KEY=%s\n",
               secretPath.c_str(), publicPath.c_str(), HexText(key.data(), key.size()).c_str());
  return 0;
}

int Sign(const std::string& secretFile, const std::string& folder, const std::string& numberText, bool force) {
  TReleaseDescription release;
  release.Number = NumberArgument(numberText, "release number");
  TSecretSeed seed;
  try {
    seed = ParseSecretKeyFile(ReadSmallFile(secretFile, 4096));
  } catch (const EReleaseError& e) {
    throw EToolError(kCannot, "\"" + secretFile + "\": " + e.Message());
  }
  CheckFolder(folder);
  release.Version = ServerVersion(folder);
  for (const char* name : kReleaseFileNames) {
    const TFileDigest digest = DigestFile(InFolder(folder, name));
    release.Files.push_back({name, digest.Size, digest.Sha256});
  }
  const std::string description = FormatReleaseDescription(release);
  const std::string signature = FormatSignatureFile(SignMessage(description, seed));
  const TPublicKey key = PublicKeyOf(seed);
  // A launcher that installed the folder's release refuses a lower number,
  // and the same number for another description: a typo (80 for 8) would
  // shut out every number up to it. Signing the same release again is no
  // harm.
  if (const std::optional<std::string> held = SignedDescription(folder, key); held && !force) {
    const std::uint64_t existing = ParseReleaseDescription(*held).Number;
    if (release.Number < existing || (release.Number == existing && *held != description))
      throw EToolError(kRefused, Format("Release %llu is not above release %llu, which the folder holds signed; "
                                        "launchers that installed it would refuse this one (--force signs anyway)",
                                        static_cast<unsigned long long>(release.Number),
                                        static_cast<unsigned long long>(existing)));
  }
  // Each written whole or not at all, the signature last: a launcher that
  // looks in between finds a description its signature does not fit, and
  // refuses it.
  for (const auto& [name, text] : {std::pair{kDescriptionFileName, description}, {kSignatureFileName, signature}}) {
    const std::string path = InFolder(folder, name);
    WriteFileDurably(path, path + kPartialSuffix, text);
  }
  CheckRelease(description, signature, key, release.Version, std::nullopt);
  std::fprintf(stderr, "merindo-release: signed %s\nwith the key %s: wrote %s and %s into %s\n",
               Describe(release).c_str(), HexText(key.data(), key.size()).c_str(), kDescriptionFileName,
               kSignatureFileName, folder.c_str());
  return 0;
}

TPublicKey PublicKeyArgument(const std::string& argument) {
  std::string hex = argument;
  for (char& c : hex)
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  TPublicKey key;
  if (ParseHexText(hex, key.data(), key.size())) return key;
  try {
    return ParsePublicKeyFile(ReadSmallFile(argument, 4096));
  } catch (const EReleaseError& e) {
    throw EToolError(kCannot, "\"" + argument + "\": " + e.Message());
  }
}

int Verify(const std::string& keyArgument, const std::string& folder, const std::optional<std::string>& installed) {
  std::optional<TInstalledRelease> installedRelease;
  if (installed) installedRelease = TInstalledRelease{NumberArgument(*installed, "installed release number"), {}};
  const TPublicKey key = PublicKeyArgument(keyArgument);
  CheckFolder(folder);
  try {
    // One byte more than a description may have is enough to refuse it.
    std::string description;
    {
      TFileStream file(InFolder(folder, kDescriptionFileName), TFileStream::Mode::OpenRead);
      description.resize(kMaxDescriptionBytes + 1);
      description.resize(static_cast<std::size_t>(file.Read(description.data(), static_cast<long>(description.size()))));
    }
    const std::string signature = ReadSmallFile(InFolder(folder, kSignatureFileName), kMaxDescriptionBytes);
    const TReleaseDescription release = CheckRelease(description, signature, key, ServerVersion(folder), installedRelease);
    for (const char* name : kReleaseFileNames) CheckReleaseFile(release, name, InFolder(folder, name));
    std::fprintf(stderr, "merindo-release: good: %s\n", Describe(release).c_str());
  } catch (const EReleaseError& e) {
    throw EToolError(kRefused, "Refused: " + e.Message());
  }
  return 0;
}

int Run(const std::vector<std::string>& args) {
  const std::string command = args.empty() ? "" : args[0];
  if (command == "keygen" && args.size() == 2) return KeyGen(args[1]);
  if (command == "sign" && args.size() == 4) return Sign(args[1], args[2], args[3], false);
  if (command == "sign" && args.size() == 5 && args[1] == "--force") return Sign(args[2], args[3], args[4], true);
  if (command == "verify" && (args.size() == 3 || args.size() == 4))
    return Verify(args[1], args[2], args.size() == 4 ? std::optional(args[3]) : std::nullopt);
  if (command == "help" || command == "--help" || command == "-h") {
    std::fputs(kUsageText, stdout);
    return 0;
  }
  throw EToolError(kUsage, command.empty() ? "No command given" : "Wrong command line for \"" + command + "\"");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const EToolError& e) {
    std::fprintf(stderr, "merindo-release: %s\n", e.Message().c_str());
    if (e.Code() == kUsage) std::fputs(kUsageText, stderr);
    return e.Code();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "merindo-release: %s\n", e.what());
    return kCannot;
  }
}
