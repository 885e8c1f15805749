// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Scheduler.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace voxlane {

// A main queue on a fake clock, for tests and the simulated audio server's demo. Nothing runs by
// itself: the owning ("main") thread calls `runPending()` to run what is due at the current
// time, or `advance(seconds)` to move the clock and run everything that falls due on the way, in
// time order, each item seeing `now()` at its own due time. Other threads may submit work; a
// `sync()` from another thread waits until the main thread runs it (see `runPendingUntil`).
class ManualScheduler final : public Scheduler {
public:
    ManualScheduler();

    void async(std::function<void()> work) override;
    WorkItemRef asyncAfter(double seconds, std::function<void()> work) override;
    WorkItemRef repeating(double interval, std::function<void()> work) override;
    void sync(std::function<void()> work) override;
    double now() const override;

    // Runs every item due at the current time, including items they submit for now.
    // Returns how many ran.
    int runPending();
    // Moves the clock forward by `seconds`, running due items in order on the way.
    int advance(double seconds);
    // For hand-offs with worker threads: runs due items, and waits (for at most `realTimeout`
    // seconds of real time in total) for more to be submitted, until `done()` is true.
    // Returns whether `done()` became true.
    bool runPendingUntil(const std::function<bool()>& done, double realTimeout = 10.0);

    // Items waiting (cancelled ones excluded).
    std::size_t pendingCount() const;
    bool isMainThread() const { return std::this_thread::get_id() == mainThread_; }

private:
    struct Entry {
        double due;
        std::uint64_t sequence;
        double interval; // 0 for one-shot work
        WorkItemRef item;
        std::function<void()> work;
    };

    WorkItemRef submit(double due, double interval, std::function<void()> work);
    // Takes the earliest entry due at or before `limit`, if any, and moves the clock to it.
    bool takeNext(double limit, Entry& out);
    void finish(Entry& entry);

    mutable std::mutex mutex_;
    std::condition_variable submitted_;
    std::vector<Entry> entries_;
    double now_ = 0;
    std::uint64_t nextSequence_ = 0;
    std::thread::id mainThread_;
};

} // namespace voxlane
