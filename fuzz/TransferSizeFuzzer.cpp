// The size a RETR reply line announces, for any bytes the server sends: the
// one the progress shows and the one the completeness check trusts.
#include "net/ftp/FtpClient.h"

#include <cstddef>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const std::int32_t bytes = TFtpClient::ExtractTransferSize(line);
  // A size is never negative, and only a line that says "byte" announces one.
  if (bytes < 0) std::abort();
  if (bytes > 0 && UpperCase(line).find("BYTE") == std::string::npos) std::abort();
  // A stated size is one the line's "(N bytes)" carries: the same digits the
  // progress takes when the line names no other "byte" before it and they
  // fit the progress's 32 bits (the progress shows 0 beyond).
  if (const auto stated = TFtpClient::AnnouncedTransferSize(line)) {
    if (*stated < 0 || line.find('(') == std::string::npos) std::abort();
    const std::int64_t shown = *stated > INT32_MAX ? 0 : *stated;
    if (UpperCase(line).find("BYTE") == UpperCase(line).rfind("BYTE") && bytes != shown) std::abort();
  }
  return 0;
}
