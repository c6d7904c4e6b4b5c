// Ed25519 signatures and SHA-256 digests, and the text files that carry keys
// and signatures. All cryptography is libsodium's; this is the only unit that
// calls it.
//
// Files (bytes as lower-case hexadecimal, see HexText):
//   signature   128 digits: the Ed25519 signature of the description's exact
//               bytes, then LF
//   public key  64 digits, then LF (the same 64 digits are the build setting
//               LAUNCHER_RELEASE_KEY)
//   secret key  the line "merindo-release secret key", then the key's 32-byte
//               seed as 64 digits, then LF
// Readers also accept the last line without its LF, or ended by CR LF.
#pragma once

#include "release/ReleaseDescription.h"

#include <array>
#include <cstdint>
#include <string>

using TPublicKey = std::array<std::uint8_t, 32>;
using TSecretSeed = std::array<std::uint8_t, 32>;  // the secret key; the public key follows from it
using TSignature = std::array<std::uint8_t, 64>;

// A new secret key from the system's random source.
TSecretSeed NewSecretSeed();
TPublicKey PublicKeyOf(const TSecretSeed& seed);
TSignature SignMessage(const std::string& message, const TSecretSeed& seed);
bool SignatureValid(const std::string& message, const TSignature& signature, const TPublicKey& key);

TSha256 Sha256Of(const std::string& bytes);
struct TFileDigest {
  std::uint64_t Size = 0;
  TSha256 Sha256{};
};
// The size and SHA-256 of a file's bytes, read in blocks; raises the class
// library's file errors.
TFileDigest DigestFile(const std::string& path);

std::string FormatSignatureFile(const TSignature& signature);
std::string FormatPublicKeyFile(const TPublicKey& key);
std::string FormatSecretKeyFile(const TSecretSeed& seed);
// Each raises EReleaseError saying what the text is not.
TSignature ParseSignatureFile(const std::string& text);
TPublicKey ParsePublicKeyFile(const std::string& text);
TSecretSeed ParseSecretKeyFile(const std::string& text);
