// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> gAllocations{0};
std::atomic<std::uint64_t> gWatchedAllocations{0};
thread_local bool watched = false;

// Null when out of memory.
void* allocate(std::size_t size, std::size_t alignment = 0) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (watched) gWatchedAllocations.fetch_add(1, std::memory_order_relaxed);
    if (size == 0) size = 1;
    return alignment > alignof(std::max_align_t)
               ? std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)
               : std::malloc(size);
}

void* allocateOrThrow(std::size_t size, std::size_t alignment = 0) {
    if (void* p = allocate(size, alignment)) return p;
    throw std::bad_alloc();
}

} // namespace

// Every form, nothrow ones included: whatever is freed here must have been allocated here
// (std::stable_sort takes its buffer with new(nothrow)). Each line replaces the single-object
// and the array form.
#define VOXLANE_REPLACE(result, name, parameters, body)                                            \
    result operator name parameters body result operator name[] parameters body

VOXLANE_REPLACE(void*, new, (std::size_t n), { return allocateOrThrow(n); })
VOXLANE_REPLACE(void*, new, (std::size_t n, std::align_val_t a),
                { return allocateOrThrow(n, std::size_t(a)); })
VOXLANE_REPLACE(void*, new, (std::size_t n, const std::nothrow_t&) noexcept,
                { return allocate(n); })
VOXLANE_REPLACE(void*, new, (std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept,
                { return allocate(n, std::size_t(a)); })
VOXLANE_REPLACE(void, delete, (void* p) noexcept, { std::free(p); })
VOXLANE_REPLACE(void, delete, (void* p, std::size_t) noexcept, { std::free(p); })
VOXLANE_REPLACE(void, delete, (void* p, std::align_val_t) noexcept, { std::free(p); })
VOXLANE_REPLACE(void, delete, (void* p, std::size_t, std::align_val_t) noexcept, { std::free(p); })
VOXLANE_REPLACE(void, delete, (void* p, const std::nothrow_t&) noexcept, { std::free(p); })
VOXLANE_REPLACE(void, delete, (void* p, std::align_val_t, const std::nothrow_t&) noexcept,
                { std::free(p); })

namespace voxlane::test {

AllocationCounter::AllocationCounter() : start_(gAllocations.load()) {}
std::size_t AllocationCounter::count() const {
    return gAllocations.load() - start_;
}
void AllocationCounter::watchThisThread() {
    watched = true;
}
std::uint64_t AllocationCounter::onWatchedThreads() {
    return gWatchedAllocations.load(std::memory_order_relaxed);
}

} // namespace voxlane::test
