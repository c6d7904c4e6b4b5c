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

// Checks, in this order, and raises EReleaseError at the first that fails:
// the description is at most kMaxDescriptionBytes; the signature file holds a
// signature of the description's exact bytes by key; the description is well
// formed; its version equals serverVersion (the server version file's last
// non-blank line); its number is not below installedNumber (the number of the
// last release installed, when one is recorded); it lists exactly the files
// of kReleaseFileNames. Returns the description.
TReleaseDescription CheckRelease(const std::string& description, const std::string& signatureFile,
                                 const TPublicKey& key, const std::string& serverVersion,
                                 std::optional<std::uint64_t> installedNumber);

// Checks the file at path against the description's entry for name: its size
// first (a file of another size is not read), then its SHA-256. Raises
// EReleaseError when they differ or the description has no such entry, the
// class library's file errors when the file cannot be read.
void CheckReleaseFile(const TReleaseDescription& description, const std::string& name, const std::string& path);

// The description's entry for name; EReleaseError when there is none.
const TReleaseFile& ReleaseFileEntry(const TReleaseDescription& description, const std::string& name);
