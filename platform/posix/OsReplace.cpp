// Putting a new file in the place of an installed one as a write through
// its name would: a symbolic link is followed, and the installed file's mode
// and owner pass to the new file. Keeping the installed file under a second
// name beforehand, so that an install can be undone.
#include "platform/posix/Os.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

namespace {

// The longest chain of links followed, as the kernel's own limit for a path.
constexpr int kMaxLinks = 40;

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Gives the file at path the installed file's mode, and its owner where this
// process may (root, or a group of ours); the owner goes first, since a
// change of owner clears the set-user-ID and set-group-ID bits.
void adoptAttributes(const std::string& path, const struct stat& installed) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  [[maybe_unused]] const int owned = ::fchown(fd, installed.st_uid, installed.st_gid);
  ::fchmod(fd, installed.st_mode & 07777);
  ::close(fd);
}

// Copies from into a new temporary file beside to, for a target on another
// file system than from. Returns its path, or an empty text with errno set.
std::string copyBeside(const std::string& from, const std::string& to) {
  std::string temporary = to + ".XXXXXX";
  const int out = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (out < 0) return {};
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  bool copied = in >= 0;
  std::vector<char> block(1 << 16);
  while (copied) {
    const long n = readFile(in, block.data(), block.size());
    if (n <= 0) {
      copied = n == 0;
      break;
    }
    copied = writeFile(out, block.data(), static_cast<unsigned long>(n)) == n;
  }
  copied = copied && syncFile(out);
  const int err = errno;
  if (in >= 0) ::close(in);
  if (::close(out) != 0) copied = false;
  if (copied) return temporary;
  ::unlink(temporary.c_str());
  errno = err ? err : EIO;
  return {};
}

}  // namespace

std::string followLinks(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
    if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return current;
    const std::string next(target.data(), static_cast<std::size_t>(n));
    current = next.front() == '/' ? next : folderOf(current) + "/" + next;
  }
  return path;  // a loop: the rename then meets the link itself
}

bool replaceFile(const std::string& from, const std::string& to) {
  struct stat installed {};
  const bool replacing = ::stat(to.c_str(), &installed) == 0 && S_ISREG(installed.st_mode);
  if (replacing) adoptAttributes(from, installed);
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  if (errno != EXDEV) return false;
  // A link led to another file system: the new content goes into a
  // temporary file beside the target first, so that the target is still
  // replaced at once.
  const std::string beside = copyBeside(from, to);
  if (beside.empty()) return false;
  if (replacing) adoptAttributes(beside, installed);
  if (::rename(beside.c_str(), to.c_str()) != 0) {
    const int err = errno;
    ::unlink(beside.c_str());
    errno = err;
    return false;
  }
  ::unlink(from.c_str());
  return true;
}

bool keepFile(const std::string& installed, const std::string& kept) {
  struct stat st {};
  if (::stat(installed.c_str(), &st) != 0) return false;
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EACCES;
    return false;
  }
  if (::unlink(kept.c_str()) != 0 && errno != ENOENT) return false;
  if (::link(installed.c_str(), kept.c_str()) != 0) {
    // Another file system (the installed name is a link that leads there),
    // or one without hard links: a copy keeps the content.
    if (errno != EXDEV && errno != EPERM && errno != EMLINK && errno != EOPNOTSUPP) return false;
    const std::string copy = copyBeside(installed, kept);
    if (copy.empty()) return false;
    adoptAttributes(copy, st);
    if (::rename(copy.c_str(), kept.c_str()) != 0) {
      const int err = errno;
      ::unlink(copy.c_str());
      errno = err;
      return false;
    }
  }
  return syncFoldersOf(kept, kept);
}

}  // namespace os
