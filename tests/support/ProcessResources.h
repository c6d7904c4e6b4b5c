// What the test process holds now, for the soak test's checks that nothing
// stays behind: one implementation per system.
#pragma once

#include <cstddef>

namespace testsupport {

// The process's open descriptors (Linux) or handles (Windows: sockets,
// events, threads and the rest the system keeps for it).
std::size_t OpenHandles();

// The bytes in use on the heap, exact rather than by the page. Linux: the C
// library's count of every allocation (the address sanitizer's in its
// build). Windows: the bytes C++'s operator new handed out and operator
// delete did not take back; the program that links this count replaces the
// two for it, since walking the system's heap counts small blocks by their
// page under Wine.
std::size_t HeapInUse();

// The process's resident memory (its working set on Windows), for the
// figures the soak test prints.
std::size_t ResidentBytes();

}  // namespace testsupport
