// A product for the launcher to start in the tests: a program of this system
// that writes product-started.txt in its working folder, naming the copy
// that ran by its tag. Linux: a shell script. Windows: the tests' Windows
// program (tests/app/windows_product, found beside the test program) with
// the tag after its image.
#pragma once

#include <string>

namespace testsupport {

std::string ProductProgram(const std::string& tag);

}  // namespace testsupport
