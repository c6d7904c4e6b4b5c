#include "release/ReleaseSignature.h"

#include "classlib/Classes.h"

#include <sodium.h>

namespace {

constexpr const char* kSecretKeyHeading = "merindo-release secret key";

// libsodium picks its implementations and opens the random source once;
// every entry point here runs it first.
void StartSodium() {
  static const bool started = sodium_init() >= 0;
  if (!started) throw EReleaseError("The cryptography library could not start");
}

template <std::size_t N>
std::array<std::uint8_t, N> ParseHexLine(const std::string& text, const char* what) {
  std::array<std::uint8_t, N> bytes{};
  if (!ParseHexText(WithoutLineEnd(text), bytes.data(), N))
    throw EReleaseError(Format("%s is not %zu lower-case hexadecimal digits", what, 2 * N));
  return bytes;
}

template <std::size_t N>
std::string HexLine(const std::array<std::uint8_t, N>& bytes) {
  return HexText(bytes.data(), N) + "\n";
}

}  // namespace

TSecretSeed NewSecretSeed() {
  StartSodium();
  TSecretSeed seed;
  randombytes_buf(seed.data(), seed.size());
  return seed;
}

TPublicKey PublicKeyOf(const TSecretSeed& seed) {
  StartSodium();
  TPublicKey key;
  unsigned char secret[crypto_sign_ed25519_SECRETKEYBYTES];
  crypto_sign_ed25519_seed_keypair(key.data(), secret, seed.data());
  sodium_memzero(secret, sizeof secret);
  return key;
}

TSignature SignMessage(const std::string& message, const TSecretSeed& seed) {
  StartSodium();
  TPublicKey key;
  unsigned char secret[crypto_sign_ed25519_SECRETKEYBYTES];
  crypto_sign_ed25519_seed_keypair(key.data(), secret, seed.data());
  TSignature signature;
  crypto_sign_ed25519_detached(signature.data(), nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                               message.size(), secret);
  sodium_memzero(secret, sizeof secret);
  return signature;
}

bool SignatureValid(const std::string& message, const TSignature& signature, const TPublicKey& key) {
  StartSodium();
  return crypto_sign_ed25519_verify_detached(signature.data(), reinterpret_cast<const unsigned char*>(message.data()),
                                             message.size(), key.data()) == 0;
}

TSha256 Sha256Of(const std::string& bytes) {
  StartSodium();
  TSha256 digest;
  crypto_hash_sha256(digest.data(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return digest;
}

TFileDigest DigestFile(const std::string& path) {
  StartSodium();
  TFileStream file(path, TFileStream::Mode::OpenRead);
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  TFileDigest digest;
  std::string block(65536, '\0');
  for (;;) {
    const long n = file.Read(block.data(), static_cast<long>(block.size()));
    if (n <= 0) break;
    crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(block.data()),
                              static_cast<unsigned long long>(n));
    digest.Size += static_cast<std::uint64_t>(n);
  }
  crypto_hash_sha256_final(&state, digest.Sha256.data());
  return digest;
}

std::string FormatSignatureFile(const TSignature& signature) { return HexLine(signature); }

std::string FormatPublicKeyFile(const TPublicKey& key) { return HexLine(key); }

std::string FormatSecretKeyFile(const TSecretSeed& seed) { return std::string(kSecretKeyHeading) + "\n" + HexLine(seed); }

TSignature ParseSignatureFile(const std::string& text) {
  return ParseHexLine<std::tuple_size_v<TSignature>>(text, "The signature");
}

TPublicKey ParsePublicKeyFile(const std::string& text) {
  return ParseHexLine<std::tuple_size_v<TPublicKey>>(text, "The public key");
}

TSecretSeed ParseSecretKeyFile(const std::string& text) {
  const std::size_t lineEnd = text.find('\n');
  if (lineEnd == std::string::npos || WithoutLineEnd(text.substr(0, lineEnd + 1)) != kSecretKeyHeading)
    throw EReleaseError(std::string("Not a secret key file: its first line is not \"") + kSecretKeyHeading + "\"");
  return ParseHexLine<std::tuple_size_v<TSecretSeed>>(text.substr(lineEnd + 1), "The secret key");
}
