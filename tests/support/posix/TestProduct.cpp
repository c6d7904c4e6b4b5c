#include "tests/support/TestProduct.h"

namespace testsupport {

std::string ProductProgram(const std::string& tag) { return "#!/bin/sh\necho " + tag + " > product-started.txt\n"; }

}  // namespace testsupport
