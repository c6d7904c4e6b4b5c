// The size a RETR reply line announces, for any bytes the server sends.
#include "net/ftp/FtpClient.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const std::int32_t bytes = TFtpClient::ExtractTransferSize(line);
  // A size is never negative, and only a line that says "byte" announces one.
  if (bytes < 0) std::abort();
  if (bytes > 0 && UpperCase(line).find("BYTE") == std::string::npos) std::abort();
  return 0;
}
