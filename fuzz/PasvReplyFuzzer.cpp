// The data port of a PASV reply, split at commas by ExtractField and converted
// strictly, for any bytes the server sends.
#include "net/ftp/FtpClient.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  // The splitter on its own: a field never holds a separator, and the fields
  // with the separators between them give the text back.
  const int separators = static_cast<int>(std::count(reply.begin(), reply.end(), ','));
  std::string joined;
  for (int n = 1; n <= separators + 1; ++n) {
    const std::string field = ExtractField(reply, ',', n);
    if (field.find(',') != std::string::npos) std::abort();
    joined += field;
    if (n <= separators) joined += ',';
  }
  if (joined != reply) std::abort();
  if (!ExtractField(reply, ',', 0).empty() || !ExtractField(reply, ',', separators + 2).empty()) std::abort();

  try {
    const std::int32_t port = TFtpClient::PassivePort(reply);
    if (port < 0 || port > 65535) std::abort();
  } catch (const EConvertError&) {
  } catch (const ERangeError&) {
  }
  return 0;
}
