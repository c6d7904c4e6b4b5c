#include "platform/FontFiles.h"

#include <algorithm>
#include <cctype>

namespace platform {

bool SameFamilyName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace platform
