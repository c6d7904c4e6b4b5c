// The platform's records of what a person would see and hear, and their
// trace file.
#include "platform/Observe.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace observe {

namespace {

std::mutex gMutex;
std::vector<unsigned> gBeeps;
std::vector<ShownMessageBox> gMessageBoxes;
std::vector<StartedProgram> gStarted;
std::vector<FirstPaint> gFirstPaints;
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

std::vector<ShownMessageBox> messageBoxes() {
  std::lock_guard lock(gMutex);
  return gMessageBoxes;
}

std::vector<StartedProgram> startedPrograms() {
  std::lock_guard lock(gMutex);
  return gStarted;
}

std::vector<FirstPaint> firstPaints() {
  std::lock_guard lock(gMutex);
  return gFirstPaints;
}

int currentCursor() {
  std::lock_guard lock(gMutex);
  return gCursor;
}

void reset() {
  std::lock_guard lock(gMutex);
  gBeeps.clear();
  gMessageBoxes.clear();
  gStarted.clear();
  gFirstPaints.clear();
  gCursor = 0;
}

void recordBeep(unsigned type) {
  std::lock_guard lock(gMutex);
  gBeeps.push_back(type);
  trace("beep " + std::to_string(type));
}

void recordMessageBox(const ShownMessageBox& box) {
  std::lock_guard lock(gMutex);
  gMessageBoxes.push_back(box);
  trace("messagebox " + std::to_string(box.type) + " " + box.caption + "\t" + box.text);
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

void recordFirstPaint(const std::string& title) {
  const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  const std::int64_t cpuNs = static_cast<std::int64_t>(std::clock()) * (1000000000 / CLOCKS_PER_SEC);
  std::lock_guard lock(gMutex);
  gFirstPaints.push_back(FirstPaint{title, static_cast<std::int64_t>(now.count()), cpuNs});
  trace("paint " + std::to_string(now.count()) + " " + std::to_string(cpuNs) + " " + title);
}

void recordTimerTick(std::uintptr_t window, std::uintptr_t id, unsigned periodMs, std::int64_t atMs,
                     std::int64_t armedMs) {
  std::lock_guard lock(gMutex);
  trace("timer " + std::to_string(atMs) + " " + std::to_string(window) + " " + std::to_string(id) + " " +
        std::to_string(periodMs) + " " + std::to_string(armedMs));
}

}  // namespace observe
