#include "tests/support/FtpServerProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace testsupport {
namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr int kStartTimeoutMs = 15000;

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

// Runs /usr/bin/python3 with `args`, stdout into `stdoutFd`, stderr into `stderrFd`.
// The child gets no other descriptor of ours (a copied client socket would keep
// connections open) and ends when the starting thread ends.
pid_t Spawn(const std::vector<std::string>& args, int stdoutFd, int stderrFd) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(kPython));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0) {  // only async-signal-safe calls from here on
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    dup2(devNull, 0);
    dup2(stdoutFd, 1);
    dup2(stderrFd, 2);
    if (close_range(3, ~0U, 0) != 0) {
      for (int fd = 3; fd < 4096; ++fd) close(fd);
    }
    execv(kPython, argv.data());
    _exit(127);
  }
  if (devNull >= 0) close(devNull);
  if (pid < 0) throw std::runtime_error(std::string("fork failed: ") + std::strerror(errno));
  return pid;
}

// Reads the first stdout line of the child, waiting at most the start time-out.
std::string ReadFirstLine(int fd) {
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
  while (line.empty() || line.back() != '\n') {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    int ready = poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char c;
    ssize_t n = read(fd, &c, 1);
    if (n <= 0) break;
    line += c;
  }
  return line;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// vsftpd's protocol log: ... FTP command: Client "127.0.0.1", "RETR f.bin"
std::vector<std::string> VsftpdCommands(const std::vector<std::string>& lines) {
  static const std::string kMarker = "FTP command: Client \"";
  std::vector<std::string> commands;
  for (const std::string& line : lines) {
    std::size_t at = line.find(kMarker);
    if (at == std::string::npos) continue;
    std::size_t text = line.find("\", \"", at + kMarker.size());
    if (text == std::string::npos || line.size() < text + 5) continue;
    commands.push_back(line.substr(text + 4, line.size() - text - 5));
  }
  return commands;
}

}  // namespace

std::string ServerPath(const std::string& localPath) { return localPath; }

// The child's pid and its folder of scratch files (the served folder in it
// unless the caller gave one).
struct FtpServerProcess::Running {
  std::string tempDir;
  pid_t pid = -1;
};

FtpServerProcess::FtpServerProcess(FtpServerOptions options)
    : options_(std::move(options)), running_(std::make_unique<Running>()) {
  std::string pattern = (std::filesystem::temp_directory_path() / "ftpserver.XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error(std::string("mkdtemp failed: ") + std::strerror(errno));
  const std::string& tempDir = running_->tempDir = pattern;
  if (options_.root.empty()) options_.root = tempDir + "/root";
  std::filesystem::create_directories(options_.root);

  const std::string servers = TESTSUPPORT_SERVERS_DIR;
  const std::string log = tempDir + "/commands.log";
  std::vector<std::string> args;
  if (options_.kind == FtpServerOptions::Kind::Scripted) {
    WriteWholeFile(tempDir + "/rules.json", options_.rules);
    args = {servers + "/scripted_ftp.py", "--root", options_.root, "--host", options_.host, "--port", std::to_string(options_.port),
            "--user", options_.user, "--password", options_.password, "--log", log,
            "--script", tempDir + "/rules.json"};
  } else {
    args = {servers + "/vsftpd_server.py", "--root", options_.root, "--host", options_.host, "--port", std::to_string(options_.port),
            "--log", log};
    if (options_.user != "anonymous" && options_.user != "ftp") {
      args.insert(args.end(), {"--user", options_.user, "--password", options_.password});
    }
  }

  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe failed: ") + std::strerror(errno));
  const std::string errPath = tempDir + "/stderr";
  int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  try {
    running_->pid = Spawn(args, out[1], err);
  } catch (...) {
    close(out[0]);
    close(out[1]);
    close(err);
    std::filesystem::remove_all(tempDir);
    throw;
  }
  close(out[1]);
  close(err);
  std::string line = ReadFirstLine(out[0]);
  close(out[0]);  // the server writes nothing more to stdout
  if (line.rfind("PORT ", 0) == 0) port_ = std::atoi(line.c_str() + 5);
  if (port_ <= 0) {
    Stop();
    std::string why = ReadWholeFile(errPath);
    std::error_code ignored;
    std::filesystem::remove_all(tempDir, ignored);
    throw std::runtime_error("FTP server " + args[0] + " did not start: " +
                             (why.empty() ? "no port announced within 15 s" : why));
  }
}

FtpServerProcess::~FtpServerProcess() {
  Stop();
  std::error_code ignored;
  std::filesystem::remove_all(running_->tempDir, ignored);  // the served folder too when it was ours
}

void FtpServerProcess::Stop() {
  pid_t& pid = running_->pid;
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 500; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) {
      pid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  pid = -1;
}

void FtpServerProcess::PutFile(const std::string& relativePath, const std::string& bytes) const {
  std::filesystem::path path = std::filesystem::path(options_.root) / relativePath;
  std::filesystem::create_directories(path.parent_path());
  WriteWholeFile(path.string(), bytes);
}

std::vector<std::string> FtpServerProcess::Commands() const {
  std::vector<std::string> lines = SplitLines(ReadWholeFile(running_->tempDir + "/commands.log"));
  return options_.kind == FtpServerOptions::Kind::Vsftpd ? VsftpdCommands(lines) : lines;
}

}  // namespace testsupport
