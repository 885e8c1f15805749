// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WorkItem.h"

#include <functional>

namespace voxlane {

// The main queue: work submitted here runs on the main thread, one item at a time, in the order
// of its due time (submission order among equal times). Every method may be called from any
// thread.
class Scheduler {
public:
    virtual ~Scheduler() = default;

    // Runs `work` on the main queue as soon as possible.
    virtual void async(std::function<void()> work) = 0;
    // Runs `work` on the main queue `seconds` from now unless the returned item is cancelled.
    virtual WorkItemRef asyncAfter(double seconds, std::function<void()> work) = 0;
    // Runs `work` every `interval` seconds (first after one interval) until cancelled.
    virtual WorkItemRef repeating(double interval, std::function<void()> work) = 0;
    // Runs `work` on the main queue and waits for it to finish; on the main thread it runs at
    // once. Never call it from the main thread while holding something the main queue waits for.
    virtual void sync(std::function<void()> work) = 0;
    // Monotonic time in seconds.
    virtual double now() const = 0;
};

} // namespace voxlane
