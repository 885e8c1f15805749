// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace voxlane::test {

// Counts every global operator new (all forms, all threads) for as long as a scope is alive, so a
// test can prove that a stretch of code allocates nothing. A program that links this replaces the
// global allocation functions.
class AllocationCounter {
public:
    AllocationCounter();
    std::size_t count() const;

    // Threads of someone else's making (the audio server's real-time thread, from inside an IO
    // block) declare themselves watched; their allocations are counted apart.
    static void watchThisThread();
    static std::uint64_t onWatchedThreads();

private:
    std::size_t start_;
};

} // namespace voxlane::test
