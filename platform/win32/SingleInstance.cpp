// One launcher per working folder on Windows: a named mutex whose name is
// made of the folder, which exists while the launcher that made it runs; and
// a small named shared memory beside it that holds the launcher's window, for
// a later launcher to bring to the front. Neither handle is inheritable, so
// the product the launcher starts holds no part of the claim.
#include "platform/SingleInstance.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace platform {

namespace {

// The current directory whatever its spelling: its full path with long
// names, in upper case as the file system compares names, with slashes for
// the backslashes that an object's name holds only after its namespace.
// Empty when it cannot be read.
std::wstring FolderKey() {
  std::wstring path(GetCurrentDirectoryW(0, nullptr), L'\0');
  if (path.empty()) return {};
  path.resize(GetCurrentDirectoryW(static_cast<DWORD>(path.size()), path.data()));
  if (const DWORD size = GetLongPathNameW(path.c_str(), nullptr, 0)) {
    std::wstring full(size, L'\0');
    full.resize(GetLongPathNameW(path.c_str(), full.data(), size));
    if (!full.empty()) path = full;
  }
  CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
  for (wchar_t& c : path) {
    if (c == L'\\') c = L'/';
  }
  return path;
}

// An object's name: prefix and key; one longer than a name may be keeps its
// beginning and ends in a digest of the whole key (FNV-1a).
std::wstring ObjectName(const wchar_t* prefix, const std::wstring& key) {
  std::wstring name = prefix + key;
  if (name.size() < MAX_PATH) return name;
  std::uint64_t digest = 14695981039346656037ull;
  for (wchar_t c : key) {
    digest ^= static_cast<std::uint16_t>(c);
    digest *= 1099511628211ull;
  }
  std::wstring tail = L"#";
  for (int shift = 60; shift >= 0; shift -= 4) tail += L"0123456789abcdef"[(digest >> shift) & 0xF];
  return name.substr(0, MAX_PATH - 1 - tail.size()) + tail;
}

// Every session's launchers exclude each other (a folder may be shared); the
// window is only of use within the session.
constexpr const wchar_t* kClaimPrefix = L"Global\\merindo-launcher ";
constexpr const wchar_t* kWindowPrefix = L"Local\\merindo-launcher window ";

// Brings the window the claim's holder named to the front, if it named one.
void ShowHoldersWindow(const std::wstring& key) {
  HANDLE record = OpenFileMappingW(FILE_MAP_READ, FALSE, ObjectName(kWindowPrefix, key).c_str());
  if (!record) return;
  std::uint64_t value = 0;
  if (const void* view = MapViewOfFile(record, FILE_MAP_READ, 0, 0, sizeof value)) {
    std::memcpy(&value, view, sizeof value);
    UnmapViewOfFile(view);
  }
  CloseHandle(record);
  HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
  if (!window || !IsWindow(window)) return;
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
}

}  // namespace

struct InstanceClaim::State {
  std::wstring key;
  HANDLE mutex = nullptr;
  HANDLE window = nullptr;
};

InstanceClaim::InstanceClaim() : state_(std::make_unique<State>()) {
  state_->key = FolderKey();
  held_ = true;
  if (state_->key.empty()) return;
  SetLastError(ERROR_SUCCESS);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, ObjectName(kClaimPrefix, state_->key).c_str());
  const DWORD error = GetLastError();
  if (mutex && error != ERROR_ALREADY_EXISTS) {
    state_->mutex = mutex;
    return;
  }
  if (mutex) CloseHandle(mutex);
  // Another user's launcher holds it when it may not even be opened.
  if (!mutex && error != ERROR_ACCESS_DENIED) return;
  held_ = false;
  ShowHoldersWindow(state_->key);
}

InstanceClaim::~InstanceClaim() {
  if (state_->window) CloseHandle(state_->window);
  if (state_->mutex) CloseHandle(state_->mutex);
}

void InstanceClaim::SetWindow(HWND__* window) {
  if (!state_->mutex || state_->window) return;
  const std::uint64_t value = reinterpret_cast<UINT_PTR>(window);
  HANDLE record = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof value,
                                     ObjectName(kWindowPrefix, state_->key).c_str());
  if (!record) return;
  if (void* view = MapViewOfFile(record, FILE_MAP_WRITE, 0, 0, sizeof value)) {
    std::memcpy(view, &value, sizeof value);
    UnmapViewOfFile(view);
  }
  state_->window = record;
}

}  // namespace platform
