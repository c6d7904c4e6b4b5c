// What the launcher requires of a signed release before it installs it; the
// vendor's tool checks a release folder by the same rules.
#pragma once

#include "release/ReleaseDescription.h"
#include "release/ReleaseSignature.h"

#include <cstdint>
#include <optional>
#include <string>

// The product folder's files, on the server and in a vendor's release folder.
constexpr const char* kVersionFileName = "Versione.Txt";
constexpr const char* kDescriptionFileName = "Rilascio.Txt";
constexpr const char* kSignatureFileName = "Rilascio.Sig";
// The files a release installs, as the description names them.
constexpr const char* kReleaseFileNames[3] = {"Merindo_SQL_Dalvessa.Exe", "Quillane.Exe", "ntwdblib.dll"};

// The release a launcher installed last, as its record says: the number and
// the SHA-256 of the description's exact bytes. The record of launchers
// before the digest holds the number alone.
struct TInstalledRelease {
  std::uint64_t Number = 0;
  std::optional<TSha256> Description;
  friend bool operator==(const TInstalledRelease&, const TInstalledRelease&) = default;
};

// The record's text: "<number> <SHA-256 in lower-case hexadecimal>" and LF.
std::string FormatReleaseRecord(const TInstalledRelease& installed);
// Reads that text, and the older "<number>" and LF; either line may end in
// CR LF or nothing. Raises EReleaseError for any other text.
TInstalledRelease ParseReleaseRecord(const std::string& text);

// Checks, in this order, and raises EReleaseError at the first that fails:
// the description is at most kMaxDescriptionBytes; the signature file holds a
// signature of the description's exact bytes by key; the description is well
// formed; its version equals serverVersion (the server version file's last
// non-blank line); its number is at least lowestNumber (what the launcher was
// built to accept at the least) and not below the installed release's; an
// equal number is the installed release again only with the same
// description, where the record names one (two descriptions signed with one
// number must not be interchangeable); it lists exactly the files of
// kReleaseFileNames. Returns the description.
TReleaseDescription CheckRelease(const std::string& description, const std::string& signatureFile,
                                 const TPublicKey& key, const std::string& serverVersion,
                                 const std::optional<TInstalledRelease>& installed, std::uint64_t lowestNumber = 0);

// Checks the file at path against the description's entry for name: its size
// first (a file of another size is not read), then its SHA-256. Raises
// EReleaseError when they differ or the description has no such entry, the
// class library's file errors when the file cannot be read.
void CheckReleaseFile(const TReleaseDescription& description, const std::string& name, const std::string& path);

// The description's entry for name; EReleaseError when there is none.
const TReleaseFile& ReleaseFileEntry(const TReleaseDescription& description, const std::string& name);
