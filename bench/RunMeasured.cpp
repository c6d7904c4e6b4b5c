// Runs one program and measures it from outside, the same way for every
// contender of the benchmarks:
//
//   run-measured RESULT_FILE PROGRAM [ARGUMENT...]
//
// writes to RESULT_FILE, at once, the line
//   started=<CLOCK_MONOTONIC ns just before the start>
// and when the program has ended the line
//   wall=<s> cpu=<user + system s> maxrss=<KiB> status=<n>
// and exits with the program's status (128 + signal when a signal ended it).
//
// The peak resident memory must come from a small parent: the kernel keeps
// the largest resident size a process had before each exec, so a program
// started straight from the (much larger) Python runner would report the
// runner's size.
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

namespace {

long long MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s RESULT_FILE PROGRAM [ARGUMENT...]\n", argv[0]);
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "w");
  if (!out) {
    std::perror("run-measured: result file");
    return 2;
  }
  const long long started = MonotonicNs();
  std::fprintf(out, "started=%lld\n", started);
  std::fflush(out);
  const pid_t child = fork();
  if (child < 0) {
    std::perror("run-measured: fork");
    return 2;
  }
  if (child == 0) {
    execvp(argv[2], argv + 2);
    std::perror("run-measured: exec");
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) < 0) {
    std::perror("run-measured: wait4");
    return 2;
  }
  const long long ended = MonotonicNs();
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::fprintf(out, "wall=%.6f cpu=%.6f maxrss=%ld status=%d\n",
               static_cast<double>(ended - started) / 1e9, Seconds(usage.ru_utime) + Seconds(usage.ru_stime),
               usage.ru_maxrss, code);
  std::fclose(out);
  return code;
}
