#include "tests/support/posix/DescriptorsExhausted.h"

#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace testsupport {

struct DescriptorsExhausted::State {
  rlimit saved{};
  std::vector<int> held;
};

DescriptorsExhausted::DescriptorsExhausted() : state_(std::make_unique<State>()) {
  getrlimit(RLIMIT_NOFILE, &state_->saved);
  // Lower the limit just above what is open, then fill the gap.
  int highest = 0;
  for (int fd = 0; fd < 4096; ++fd)
    if (fcntl(fd, F_GETFD) != -1) highest = fd;
  rlimit lowered = state_->saved;
  lowered.rlim_cur = static_cast<rlim_t>(highest + 16);
  setrlimit(RLIMIT_NOFILE, &lowered);
  for (;;) {
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd < 0) break;
    state_->held.push_back(fd);
  }
}

DescriptorsExhausted::~DescriptorsExhausted() {
  for (int fd : state_->held) ::close(fd);
  setrlimit(RLIMIT_NOFILE, &state_->saved);
}

}  // namespace testsupport
