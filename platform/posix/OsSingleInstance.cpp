// One launcher per working folder on Linux: an exclusive flock on
// kInstanceLockFile there, held until the claim ends. The descriptor is closed
// on exec, so the product the launcher starts holds no part of it.
#include "platform/SingleInstance.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

struct InstanceClaim::State {
  int fd = -1;
};

InstanceClaim::InstanceClaim() : state_(std::make_unique<State>()) {
  int fd = ::open(kInstanceLockFile, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  // Another user's file, or a read-only folder where a launcher left one: a
  // lock needs no write access.
  if (fd == -1) fd = ::open(kInstanceLockFile, O_RDONLY | O_CLOEXEC);
  if (fd == -1) {
    held_ = true;
    return;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    state_->fd = fd;
    held_ = true;
    return;
  }
  // Only a lock held elsewhere stops the launcher; a file system without
  // locks does not.
  held_ = errno != EWOULDBLOCK;
  ::close(fd);
}

InstanceClaim::~InstanceClaim() {
  if (state_->fd != -1) ::close(state_->fd);
}

void InstanceClaim::SetWindow(HWND__*) {}

}  // namespace platform
