#pragma once

#include <cstdint>

namespace voxlane::test {

// Counts the C++ allocations (operator new, all forms) made on threads that have declared
// themselves watched. This test program replaces the global allocation functions for it.
namespace AllocationCounter {

// Watch the calling thread from now on (e.g. from inside an IO block, to watch the audio
// server's real-time thread).
void watchThisThread();
// Allocations on watched threads so far.
std::uint64_t count();

} // namespace AllocationCounter
} // namespace voxlane::test
