#include "net/socket/ReplyCode.h"

#include "classlib/SysUtils.h"

std::int16_t ReplyCode(const std::string& line) {
  std::int64_t value = 0;
  std::size_t digits = 0;
  while (digits < line.size() && digits < 10 && line[digits] >= '0' && line[digits] <= '9')
    value = value * 10 + (line[digits++] - '0');
  if (digits == 0 || value > INT32_MAX) return 0;
  if (value > INT16_MAX) throw ERangeError();
  return static_cast<std::int16_t>(value);
}
