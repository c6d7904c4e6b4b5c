// Files by POSIX path, and the translation of Windows paths.
#include "platform/posix/Os.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

namespace {

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool equalsIgnoringCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    if (fold(static_cast<unsigned char>(a[i])) != fold(static_cast<unsigned char>(b[i]))) return false;
  }
  return i == a.size() && b[i] == '\0';
}

// The name in folder that equals name but for case, or name itself.
std::string matchInFolder(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return name;
  std::vector<std::string> matches;
  while (dirent* entry = ::readdir(dir)) {
    if (equalsIgnoringCase(name, entry->d_name)) matches.emplace_back(entry->d_name);
  }
  ::closedir(dir);
  if (matches.empty()) return name;
  std::sort(matches.begin(), matches.end());
  return matches.front();
}

}  // namespace

std::string resolvePath(const std::string& windowsPath) {
  std::string path = windowsPath;
  std::replace(path.begin(), path.end(), '\\', '/');
  if (path.empty() || exists(path)) return path;

  std::string resolved;
  std::size_t pos = 0;
  if (path[0] == '/') {
    resolved = "/";
    pos = 1;
  }
  bool missing = false;  // once a folder is missing, nothing below it can match
  while (pos <= path.size()) {
    std::size_t next = path.find('/', pos);
    if (next == std::string::npos) next = path.size();
    std::string part = path.substr(pos, next - pos);
    if (!part.empty() && part != "." && part != "..") {
      std::string candidate = resolved + part;
      if (!missing && !exists(candidate)) {
        part = matchInFolder(resolved.empty() ? std::string() : resolved, part);
        candidate = resolved + part;
        missing = !exists(candidate);
      }
      resolved = candidate;
    } else {
      resolved += part;
    }
    if (next < path.size()) resolved += '/';
    pos = next + 1;
  }
  return resolved;
}

int openFile(const std::string& path, FileAccess access, FileCreation creation, bool ownerOnly) {
  int flags = O_CLOEXEC;
  switch (access) {
    case FileAccess::Read: flags |= O_RDONLY; break;
    case FileAccess::Write: flags |= O_WRONLY; break;
    case FileAccess::ReadWrite: flags |= O_RDWR; break;
    case FileAccess::Append: flags |= O_WRONLY | O_APPEND; break;
  }
  switch (creation) {
    case FileCreation::CreateNew: flags |= O_CREAT | O_EXCL; break;
    case FileCreation::CreateAlways: flags |= O_CREAT | O_TRUNC; break;
    case FileCreation::OpenExisting: break;
    case FileCreation::OpenAlways: flags |= O_CREAT; break;
    case FileCreation::TruncateExisting: flags |= O_TRUNC; break;
  }
  // Opened without blocking: a pipe or a device in the file's place would
  // otherwise hold the caller (and its message loop) until some other
  // process opened the other end. Only regular files are files here.
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_NONBLOCK, ownerOnly ? 0600 : 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int refused = S_ISDIR(st.st_mode) ? EISDIR : EACCES;
    ::close(fd);
    errno = refused;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

long readFile(int fd, void* buffer, unsigned long count) {
  auto* p = static_cast<char*>(buffer);
  unsigned long done = 0;
  while (done < count) {
    const ssize_t n = ::read(fd, p + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return done > 0 ? static_cast<long>(done) : -1;
    if (n == 0) break;
    done += static_cast<unsigned long>(n);
  }
  return static_cast<long>(done);
}

long writeFile(int fd, const void* buffer, unsigned long count) {
  const auto* p = static_cast<const char*>(buffer);
  unsigned long done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd, p + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done > 0 ? static_cast<long>(done) : -1;
    done += static_cast<unsigned long>(n);
  }
  return static_cast<long>(done);
}

bool closeFile(int fd) { return ::close(fd) == 0; }

long long fileSize(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

FileInfo fileInfo(const std::string& path) {
  FileInfo info;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return info;
  info.exists = true;
  info.directory = S_ISDIR(st.st_mode);
  info.writable = ::access(path.c_str(), W_OK) == 0;
  return info;
}

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool renameFile(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool syncFile(int fd) {
  int result;
  do {
    result = ::fsync(fd);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

namespace {

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool syncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = syncFile(fd) || errno == EINVAL;
  const int error = errno;
  ::close(fd);
  errno = error;
  return synced;
}

}  // namespace

bool syncFoldersOf(const std::string& first, const std::string& second) {
  const std::string a = folderOf(first);
  const std::string b = folderOf(second);
  return syncFolder(a) && (a == b || syncFolder(b));
}

}  // namespace os
