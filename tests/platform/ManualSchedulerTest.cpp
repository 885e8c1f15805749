// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ManualScheduler.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace voxlane {
namespace {

// The fake clock every timing test stands on: due work runs in time order (submission order at
// equal times), work added while running runs when due, cancelled work never.
TEST(ManualScheduler, RunsDueWorkInTimeOrderAndNeverCancelledWork) {
    ManualScheduler scheduler;
    std::vector<std::string> log;
    const auto note = [&](std::string what) {
        return [&, what] { log.push_back(what + "@" + std::to_string(scheduler.now())); };
    };
    scheduler.asyncAfter(0.3, note("c"));
    scheduler.asyncAfter(0.1, note("a"));
    scheduler.async([&] {
        log.push_back("now");
        scheduler.asyncAfter(0.5, note("chained"));
    });
    scheduler.asyncAfter(0.1, note("b"));
    scheduler.asyncAfter(0.25, note("cancelled"))->cancel();
    EXPECT_EQ(scheduler.runPending(), 1);
    EXPECT_EQ(scheduler.advance(0.2), 2);
    EXPECT_EQ(log, (std::vector<std::string>{"now", "a@0.100000", "b@0.100000"}));
    scheduler.advance(0.3);
    EXPECT_EQ(log, (std::vector<std::string>{"now", "a@0.100000", "b@0.100000", "c@0.300000",
                                             "chained@0.500000"}));
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST(ManualScheduler, SyncFromWorkerRunsOnMainThread) {
    ManualScheduler scheduler;
    std::thread::id ranOn;
    std::atomic<bool> workerDone{false};
    std::thread worker([&] {
        scheduler.sync([&] { ranOn = std::this_thread::get_id(); });
        workerDone = true;
    });
    EXPECT_TRUE(scheduler.runPendingUntil([&] { return workerDone.load(); }));
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    bool inline_ = false;
    scheduler.sync([&] { inline_ = true; }); // on the main thread: at once
    EXPECT_TRUE(inline_);
}

} // namespace
} // namespace voxlane
