// One launcher at a time in a working folder. Not part of the Windows
// interface: one declaration, one implementation per system (platform/posix:
// an advisory lock on a file in the folder; platform/win32: a named mutex per
// folder, and the running launcher's window named where a later one finds
// it). Portable code, no system header.
#pragma once

#include <memory>

struct HWND__;

namespace platform {

// The file whose lock marks, on Linux, the launcher that runs in a working
// folder. The first launcher there makes it, and it stays when the launcher
// ends (removed, it would let two launchers lock two different files); an
// uninstaller removes it with the folder. On Windows nothing is written.
inline constexpr char kInstanceLockFile[] = "merindo-launcher.lock";

class InstanceClaim {
 public:
  // Claims the current directory for the life of the object (on Windows the
  // folder is its full path with long names, in upper case). Held: no other
  // process holds the claim, or none can be had at all (a folder where not
  // even the lock file can be made, where nothing could be updated either).
  // Not held: another launcher runs there; on Windows its window (SetWindow)
  // has been brought to the front. Nothing in the folder is changed then.
  InstanceClaim();
  ~InstanceClaim();
  InstanceClaim(const InstanceClaim&) = delete;
  InstanceClaim& operator=(const InstanceClaim&) = delete;

  bool Held() const { return held_; }
  // Names the window that a later launcher of the folder brings to the
  // front (Windows; on Linux nothing is shown). Only while Held.
  void SetWindow(HWND__* window);

 private:
  struct State;
  std::unique_ptr<State> state_;
  bool held_ = false;
};

}  // namespace platform
