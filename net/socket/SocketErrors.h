// The fixed texts of the Windows socket error numbers.
#pragma once

#include <cstdint>

struct TSocketErrorEntry {
  std::int32_t number;
  const char* message;  // at most 51 characters
};

// The table: 50 error numbers and their texts, then a terminator row
// (0, "Unrecognized error code") that no look-up reaches, since number 0 has
// no text.
constexpr int kSocketErrorRows = 51;
extern const TSocketErrorEntry SocketErrorTable[kSocketErrorRows];
