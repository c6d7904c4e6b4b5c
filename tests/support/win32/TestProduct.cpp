#include "tests/support/TestProduct.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport {

std::string ProductProgram(const std::string& tag) {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  std::string path(self, length);
  path = path.substr(0, path.find_last_of("\\/") + 1) + "windows-test-product.exe";
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("no test product at " + path);
  // The system's loader ignores what follows the image; the product reads
  // its tag from its last line.
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()) + "\n" + tag + "\n";
}

}  // namespace testsupport
