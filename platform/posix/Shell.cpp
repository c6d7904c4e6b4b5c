// The shell: starting a program file, message boxes, and the desktop's sounds
// and cursors.
#include "platform/Observe.h"
#include "platform/posix/Internal.h"

#include <cctype>
#include <mutex>

using namespace win32;

namespace {

bool isOpenVerb(LPCSTR verb) {
  if (verb == nullptr) return true;  // the default verb
  const std::string v = verb;
  if (v.size() != 4) return false;
  for (std::size_t i = 0; i < 4; ++i)
    if (std::tolower(static_cast<unsigned char>(v[i])) != "open"[i]) return false;
  return true;
}

HINSTANCE shellResult(UINT_PTR code) { return reinterpret_cast<HINSTANCE>(code); }

constexpr UINT_PTR kStarted = 42;  // any value above 32 means success
constexpr int kIdOk = 1;

// Windows refuses a program file whose image it cannot load, and finds no
// program to open another file with.
UINT_PTR notAProgram(const std::string& path) {
  std::string extension = path.size() >= 4 ? path.substr(path.size() - 4) : std::string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".exe" || extension == ".com" ? ERROR_BAD_FORMAT : SE_ERR_NOASSOC;
}

}  // namespace

// "Open" of a program file starts it and does not wait. Linux has no show
// command for a new process: it is recorded for observation only.
HINSTANCE WINAPI ShellExecuteA(HWND, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                               INT showCommand) {
  if (!file || !*file) return shellResult(ERROR_FILE_NOT_FOUND);
  const std::string path = os::resolvePath(file);
  if (!isOpenVerb(operation)) {
    observe::recordStartFailure(static_cast<int>(SE_ERR_NOASSOC), path);
    return shellResult(SE_ERR_NOASSOC);
  }
  const std::string dir = directory && *directory ? os::resolvePath(directory) : std::string();
  const os::StartOutcome outcome = os::startProgram(path, parameters ? parameters : "", dir);
  UINT_PTR code = kStarted;
  switch (outcome.result) {
    case os::StartResult::Started: break;
    case os::StartResult::FileNotFound: code = ERROR_FILE_NOT_FOUND; break;
    case os::StartResult::PathNotFound: code = ERROR_PATH_NOT_FOUND; break;
    case os::StartResult::AccessDenied: code = ERROR_ACCESS_DENIED; break;
    case os::StartResult::NotAProgram: code = notAProgram(path); break;
    case os::StartResult::Failed: code = 0; break;  // out of resources
  }
  if (code != kStarted) {
    observe::recordStartFailure(static_cast<int>(code), path);
    return shellResult(code);
  }
  observe::recordStart({path, dir.empty() ? os::currentDirectory() : dir, showCommand, outcome.pid});
  return shellResult(kStarted);
}

// Plays the desktop's sound of the kind (on a desktop, without waiting) and
// records the beep.
BOOL WINAPI MessageBeep(UINT type) {
  observe::recordBeep(type);
  displaySound(type);
  return TRUE;
}

// Nobody can press a button without a display: the box is answered with OK
// at once, so that a run without one never waits for ever.
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  const observe::ShownMessageBox box{caption ? caption : "Error", text ? text : "", type};
  observe::recordMessageBox(box);
  displayMessageBox(owner, box.caption, box.text, type);
  return kIdOk;
}

namespace {

std::mutex gCursorMutex;
HCURSOR gCursor = nullptr;

int cursorId(HCURSOR cursor) { return static_cast<int>(reinterpret_cast<UINT_PTR>(cursor)); }

}  // namespace

// The system cursors are their resource ids.
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  const auto id = reinterpret_cast<UINT_PTR>(name);
  if (instance != nullptr || id > 0xFFFF) {
    setLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  switch (id) {
    case 32512:  // arrow
    case 32513:  // I-beam
    case 32514:  // wait
    case 32650:  // application starting
      return reinterpret_cast<HCURSOR>(id);
    default:
      setLastError(ERROR_FILE_NOT_FOUND);
      return nullptr;
  }
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
  HCURSOR previous;
  {
    std::lock_guard lock(gCursorMutex);
    previous = gCursor;
    gCursor = cursor;
  }
  observe::recordCursor(cursorId(cursor));
  displayCursor(reinterpret_cast<UINT_PTR>(cursor));
  return previous;
}
