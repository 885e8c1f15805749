#pragma once

#include <atomic>
#include <cstddef>

namespace voxlane::test {

// Counts every global operator new (all threads) for as long as a scope is alive, so a test can
// prove that a stretch of code allocates nothing.
class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    std::size_t count() const;

private:
    std::size_t start_;
};

} // namespace voxlane::test
