// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>

namespace voxlane {

// A handle on delayed or repeating work on the main queue. `cancel()` keeps work that has not
// started yet from running (and stops a repeating timer); it is safe from any thread.
class WorkItem {
public:
    void cancel() { cancelled_.store(true, std::memory_order_release); }
    bool isCancelled() const { return cancelled_.load(std::memory_order_acquire); }

private:
    std::atomic<bool> cancelled_{false};
};

using WorkItemRef = std::shared_ptr<WorkItem>;

} // namespace voxlane
