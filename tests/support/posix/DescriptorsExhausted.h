// Uses up every free descriptor of the process while the object lives, so
// that the next socket or file cannot be opened. Linux only: Windows has no
// per-process limit on sockets to lower.
#pragma once

#include <memory>

namespace testsupport {

class DescriptorsExhausted {
 public:
  DescriptorsExhausted();
  ~DescriptorsExhausted();
  DescriptorsExhausted(const DescriptorsExhausted&) = delete;
  DescriptorsExhausted& operator=(const DescriptorsExhausted&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace testsupport
