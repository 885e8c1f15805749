// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ManualScheduler.h"

#include <gtest/gtest.h>
#include <thread>

namespace voxlane {
namespace {

// The fake clock's ordering, cancelling and timers are what every timing test of the engine
// stands on (debounces, release windows, meter ticks); here its one cross-thread path.
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
