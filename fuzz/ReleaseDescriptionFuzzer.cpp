// The release description and signature readers, for any bytes a server or a
// vendor's folder holds.
#include "release/ReleaseSignature.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  try {
    // A description has one spelling: what parses is written back unchanged.
    const TReleaseDescription release = ParseReleaseDescription(bytes);
    if (FormatReleaseDescription(release) != bytes) std::abort();
    if (release.Files.empty() || release.Files.size() > 16 || release.Version.empty()) std::abort();
  } catch (const EReleaseError&) {
  }
  try {
    const TSignature signature = ParseSignatureFile(bytes);
    if (FormatSignatureFile(signature) != WithoutLineEnd(bytes) + "\n") std::abort();
  } catch (const EReleaseError&) {
  }
  return 0;
}
