// The reply code of a line-protocol reply: its leading decimal digits.
#pragma once

#include <cstdint>
#include <string>

// The value of the leading decimal digits of line, looking at no more than its
// first 10 characters; 0 when it does not begin with a digit or the digits do
// not form a 32-bit integer. Raises ERangeError for a value beyond 16 bits.
std::int16_t ReplyCode(const std::string& line);
