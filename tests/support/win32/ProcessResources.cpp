#include "tests/support/ProcessResources.h"

#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

namespace testsupport {

namespace {

std::atomic<std::size_t> gBytesInUse{0};

// Each block carries its size in front, keeping malloc's 16-byte alignment.
constexpr std::size_t kHeader = 16;

void* Allocate(std::size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (!block) throw std::bad_alloc();
  *reinterpret_cast<std::size_t*>(block) = size;
  gBytesInUse += size;
  return block + kHeader;
}

void Release(void* memory) noexcept {
  if (!memory) return;
  unsigned char* block = static_cast<unsigned char*>(memory) - kHeader;
  gBytesInUse -= *reinterpret_cast<std::size_t*>(block);
  std::free(block);
}

// The system's table of open handles (SystemHandleInformation), one entry
// per handle of every process.
struct HandleEntry {
  ULONG process;
  BYTE type;
  BYTE flags;
  USHORT handle;
  PVOID object;
  ACCESS_MASK access;
};
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

}  // namespace

std::size_t OpenHandles() {
  const auto query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll"), "NtQuerySystemInformation")));
  std::vector<unsigned char> table(1 << 20);
  LONG status;
  ULONG length = 0;
  while ((status = query(kSystemHandleInformation, table.data(), static_cast<ULONG>(table.size()), &length)) ==
         kInfoLengthMismatch)
    table.resize(table.size() * 2);
  if (status != 0) return 0;
  const ULONG count = *reinterpret_cast<const ULONG*>(table.data());
  const auto* entries = reinterpret_cast<const HandleEntry*>(table.data() + sizeof(ULONG_PTR));
  std::size_t mine = 0;
  for (ULONG i = 0; i < count; ++i) mine += entries[i].process == GetCurrentProcessId();
  return mine;
}

std::size_t HeapInUse() { return gBytesInUse; }

std::size_t ResidentBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.WorkingSetSize;
}

}  // namespace testsupport

void* operator new(std::size_t size) { return testsupport::Allocate(size); }
void* operator new[](std::size_t size) { return testsupport::Allocate(size); }
void operator delete(void* memory) noexcept { testsupport::Release(memory); }
void operator delete[](void* memory) noexcept { testsupport::Release(memory); }
void operator delete(void* memory, std::size_t) noexcept { testsupport::Release(memory); }
void operator delete[](void* memory, std::size_t) noexcept { testsupport::Release(memory); }
