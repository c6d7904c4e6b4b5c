// Starting programs.
#include "platform/posix/Os.h"

#include <cerrno>
#include <cstring>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace os {

namespace {

// Whether the file starts as a program does; the file is not to be read
// when it cannot be opened.
enum class Head { Program, NotAProgram, Unreadable };

Head programHead(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == EACCES ? Head::Unreadable : Head::NotAProgram;
  char head[4] = {};
  const ssize_t n = ::read(fd, head, sizeof head);
  ::close(fd);
  if (n >= 4 && std::memcmp(head, "\x7f" "ELF", 4) == 0) return Head::Program;
  return n >= 2 && head[0] == '#' && head[1] == '!' ? Head::Program : Head::NotAProgram;
}

bool readAll(int fd, void* buffer, std::size_t size) {
  auto* p = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

StartOutcome startProgram(const std::string& path, const std::string& parameters, const std::string& directory) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return {errno == ENOTDIR ? StartResult::PathNotFound : StartResult::FileNotFound, 0};
  if (!S_ISREG(st.st_mode)) return {StartResult::NotAProgram, 0};
  switch (programHead(path)) {
    case Head::Program: break;
    case Head::NotAProgram: return {StartResult::NotAProgram, 0};
    case Head::Unreadable: return {StartResult::AccessDenied, 0};
  }
  if (!(st.st_mode & S_IXUSR)) {
    const mode_t withExecute = st.st_mode | ((st.st_mode & 0444) >> 2);
    if (::chmod(path.c_str(), withExecute & 07777) != 0) return {StartResult::AccessDenied, 0};
  }
  if (!directory.empty()) {
    struct stat dirStat {};
    if (::stat(directory.c_str(), &dirStat) != 0 || !S_ISDIR(dirStat.st_mode)) return {StartResult::PathNotFound, 0};
  }

  // Everything the children need is prepared here: after fork they only make
  // async-signal-safe calls.
  std::vector<std::string> words{path};
  std::istringstream split(parameters);
  for (std::string word; split >> word;) words.push_back(word);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {StartResult::Failed, 0};
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    return {StartResult::Failed, 0};
  }
  if (child == 0) {
    // The intermediate child: a new session, then the program in a
    // grandchild, so that the program is not our child and never a zombie of
    // ours.
    ::close(pipeFds[0]);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild == 0) {
      // No console: standard input, output and error are /dev/null, as a GUI
      // program started by the shell on Windows has none, so that nobody who
      // reads our output to its end waits for the program.
      const int devNull = ::open("/dev/null", O_RDWR);
      if (devNull < 0 || ::dup2(devNull, 0) < 0 || ::dup2(devNull, 1) < 0 || ::dup2(devNull, 2) < 0) {
        const int err = errno;
        [[maybe_unused]] ssize_t w = ::write(pipeFds[1], &err, sizeof err);
        ::_exit(127);
      }
      if (devNull > 2) ::close(devNull);
      if (!directory.empty() && ::chdir(directory.c_str()) != 0) {
        const int err = errno;
        [[maybe_unused]] ssize_t w = ::write(pipeFds[1], &err, sizeof err);
        ::_exit(127);
      }
      ::execv(path.c_str(), argv.data());
      const int err = errno;
      [[maybe_unused]] ssize_t w = ::write(pipeFds[1], &err, sizeof err);
      ::_exit(127);
    }
    const int pid = grandchild;
    [[maybe_unused]] ssize_t w = ::write(pipeFds[1], &pid, sizeof pid);
    ::_exit(grandchild > 0 ? 0 : 1);
  }
  ::close(pipeFds[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int pid = -1;
  const bool gotPid = readAll(pipeFds[0], &pid, sizeof pid);
  int execError = 0;
  const bool execFailed = gotPid && readAll(pipeFds[0], &execError, sizeof execError);
  ::close(pipeFds[0]);
  if (!gotPid || pid <= 0) return {StartResult::Failed, 0};
  if (execFailed) return {execError == EACCES ? StartResult::AccessDenied : StartResult::Failed, 0};
  return {StartResult::Started, pid};
}

}  // namespace os
