// The platform's records of what a person would see and hear, and their
// trace file.
#include "platform/Observe.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace observe {

namespace {

std::mutex gMutex;
std::vector<unsigned> gBeeps;
std::vector<StartedProgram> gStarted;
int gCursor = 0;

void trace(const std::string& line) {
  static const char* path = std::getenv("WIN32_PLATFORM_TRACE");
  if (!path || !*path) return;
  if (std::FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

}  // namespace

std::vector<unsigned> beeps() {
  std::lock_guard lock(gMutex);
  return gBeeps;
}

std::vector<StartedProgram> startedPrograms() {
  std::lock_guard lock(gMutex);
  return gStarted;
}

int currentCursor() {
  std::lock_guard lock(gMutex);
  return gCursor;
}

void reset() {
  std::lock_guard lock(gMutex);
  gBeeps.clear();
  gStarted.clear();
  gCursor = 0;
}

void recordBeep(unsigned type) {
  std::lock_guard lock(gMutex);
  gBeeps.push_back(type);
  trace("beep " + std::to_string(type));
}

void recordCursor(int resourceId) {
  std::lock_guard lock(gMutex);
  gCursor = resourceId;
  trace("cursor " + std::to_string(resourceId));
}

void recordStart(const StartedProgram& program) {
  std::lock_guard lock(gMutex);
  gStarted.push_back(program);
  trace("start " + std::to_string(program.pid) + " show=" + std::to_string(program.showCommand) +
        " dir=" + program.directory + " " + program.path);
}

void recordStartFailure(int code, const std::string& path) {
  std::lock_guard lock(gMutex);
  trace("start-failed " + std::to_string(code) + " " + path);
}

}  // namespace observe
