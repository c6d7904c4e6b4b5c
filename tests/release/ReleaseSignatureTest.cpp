#include "release/ReleaseSignature.h"

#include "classlib/Classes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

template <class Bytes>
Bytes FromHex(const std::string& hex) {
  Bytes bytes{};
  EXPECT_TRUE(ParseHexText(hex, bytes.data(), bytes.size())) << hex;
  return bytes;
}

template <class Bytes>
std::string Hex(const Bytes& bytes) {
  return HexText(bytes.data(), bytes.size());
}

// The first two test vectors of Ed25519's definition (RFC 8032, 7.1): the
// key's seed, its public key, the message and its signature.
struct Vector {
  const char* seed;
  const char* key;
  std::string message;
  const char* signature;
};
const Vector kVectors[] = {
    {"9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
     "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
     "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24"
     "655141438e7a100b"},
    {"4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
     "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "\x72",
     "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb"
     "00d291612bb0c00"},
};

TEST(Ed25519, GivesTheSignaturesOfItsDefinition) {
  for (const Vector& v : kVectors) {
    const auto seed = FromHex<TSecretSeed>(v.seed);
    EXPECT_EQ(Hex(PublicKeyOf(seed)), v.key);
    EXPECT_EQ(Hex(SignMessage(v.message, seed)), v.signature);
    EXPECT_TRUE(SignatureValid(v.message, FromHex<TSignature>(v.signature), FromHex<TPublicKey>(v.key)));
  }
}

TEST(Ed25519, RefusesAnyChangeOfMessageSignatureOrKey) {
  const TSecretSeed seed = NewSecretSeed();
  const TPublicKey key = PublicKeyOf(seed);
  const std::string message = "merindo-release 1\nversion 2.0\n";
  const TSignature signature = SignMessage(message, seed);
  ASSERT_TRUE(SignatureValid(message, signature, key));

  std::string changed = message;
  changed[10] ^= 1;
  EXPECT_FALSE(SignatureValid(changed, signature, key));
  EXPECT_FALSE(SignatureValid(message + "\n", signature, key));
  EXPECT_FALSE(SignatureValid(message.substr(0, message.size() - 1), signature, key));
  TSignature flipped = signature;
  flipped[63] ^= 0x40;
  EXPECT_FALSE(SignatureValid(message, flipped, key));
  EXPECT_FALSE(SignatureValid(message, signature, PublicKeyOf(NewSecretSeed())));
  EXPECT_NE(NewSecretSeed(), seed);
}

TEST(Sha256, GivesTheKnownDigestsOfTextsAndOfFilesReadInBlocks) {
  EXPECT_EQ(Hex(Sha256Of("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Hex(Sha256Of("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

  const auto path = std::filesystem::temp_directory_path() / ("sha256-" + std::to_string(::getpid()));
  std::string bytes;
  for (int i = 0; i < 200000; ++i) bytes += static_cast<char>(i * 31 % 251);  // three blocks and a part
  std::ofstream(path, std::ios::binary) << bytes;
  const TFileDigest digest = DigestFile(path.string());
  std::filesystem::remove(path);
  EXPECT_EQ(digest.Size, bytes.size());
  EXPECT_EQ(digest.Sha256, Sha256Of(bytes));
  EXPECT_THROW(DigestFile(path.string()), EFOpenError);
}

TEST(KeyAndSignatureFiles, ReadWhatTheyWriteAndRefuseEverythingElse) {
  const TSecretSeed seed = NewSecretSeed();
  const TPublicKey key = PublicKeyOf(seed);
  const TSignature signature = SignMessage("x", seed);
  EXPECT_EQ(ParseSecretKeyFile(FormatSecretKeyFile(seed)), seed);
  EXPECT_EQ(ParsePublicKeyFile(FormatPublicKeyFile(key)), key);
  EXPECT_EQ(ParseSignatureFile(FormatSignatureFile(signature)), signature);
  EXPECT_EQ(FormatSignatureFile(signature).size(), 129u);

  // A file edited elsewhere: no final line feed, or CR LF.
  const std::string hex = Hex(signature);
  EXPECT_EQ(ParseSignatureFile(hex), signature);
  EXPECT_EQ(ParseSignatureFile(hex + "\r\n"), signature);
  EXPECT_EQ(ParseSecretKeyFile("merindo-release secret key\r\n" + Hex(seed) + "\r\n"), seed);

  for (const std::string& bad : {hex.substr(1), hex + "0", hex + "\n\n", " " + hex, std::string(128, 'G')})
    EXPECT_THROW(ParseSignatureFile(bad), EReleaseError) << bad;
  // The public key where the secret one belongs, and the other way round.
  EXPECT_THROW(ParseSecretKeyFile(FormatPublicKeyFile(key)), EReleaseError);
  EXPECT_THROW(ParsePublicKeyFile(FormatSecretKeyFile(seed)), EReleaseError);
  EXPECT_THROW(ParseSecretKeyFile("merindo-release secret key\n"), EReleaseError);
  EXPECT_THROW(ParseSecretKeyFile("merindo-release public key\n" + Hex(seed) + "\n"), EReleaseError);
}

}  // namespace
