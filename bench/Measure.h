// Wall and CPU time of this process, for the benchmark programs.
#pragma once

#include <sys/resource.h>
#include <time.h>

namespace bench {

struct Sample {
  double wall = 0;  // seconds of the monotonic clock
  double cpu = 0;   // user + system seconds of the process

  Sample operator-(const Sample& other) const { return {wall - other.wall, cpu - other.cpu}; }
};

inline double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

inline Sample Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return {static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9,
          Seconds(usage.ru_utime) + Seconds(usage.ru_stime)};
}

}  // namespace bench
