// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ManualScheduler.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace voxlane {
namespace {

TEST(ManualScheduler, RunsDueWorkInTimeOrderAtItsOwnTime) {
    ManualScheduler scheduler;
    std::vector<std::string> log;
    scheduler.asyncAfter(0.3, [&] { log.push_back("c@" + std::to_string(scheduler.now())); });
    scheduler.asyncAfter(0.1, [&] { log.push_back("a@" + std::to_string(scheduler.now())); });
    scheduler.async([&] { log.push_back("now"); });
    scheduler.asyncAfter(0.1, [&] { log.push_back("b"); }); // same time: submission order

    EXPECT_EQ(scheduler.runPending(), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"now"}));
    EXPECT_EQ(scheduler.advance(0.2), 2);
    EXPECT_EQ(log, (std::vector<std::string>{"now", "a@0.100000", "b"}));
    EXPECT_DOUBLE_EQ(scheduler.now(), 0.2);
    scheduler.advance(0.1);
    EXPECT_EQ(log.back(), "c@0.300000");
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST(ManualScheduler, WorkSubmittedWhileRunningRunsWhenDue) {
    ManualScheduler scheduler;
    int chained = 0;
    scheduler.async([&] {
        scheduler.async([&] { ++chained; });
        scheduler.asyncAfter(0.5, [&] { chained += 10; });
    });
    scheduler.runPending();
    EXPECT_EQ(chained, 1);
    scheduler.advance(0.49);
    EXPECT_EQ(chained, 1);
    scheduler.advance(0.01);
    EXPECT_EQ(chained, 11);
}

TEST(ManualScheduler, CancelledWorkNeverRunsAndDebounceYieldsOneRun) {
    ManualScheduler scheduler;
    int runs = 0;
    double ranAt = -1;
    WorkItemRef pending;
    // A burst of notifications 50 ms apart, each re-arming a 0.12 s debounce.
    for (int i = 0; i < 4; ++i) {
        if (pending) pending->cancel();
        pending = scheduler.asyncAfter(0.12, [&] {
            ++runs;
            ranAt = scheduler.now();
        });
        scheduler.advance(0.05);
    }
    scheduler.advance(1.0);
    EXPECT_EQ(runs, 1);
    EXPECT_NEAR(ranAt, 0.15 + 0.12, 1e-9);
}

TEST(ManualScheduler, RepeatingTimerFiresEveryIntervalUntilCancelled) {
    ManualScheduler scheduler;
    std::vector<double> ticks;
    WorkItemRef timer;
    timer = scheduler.repeating(0.25, [&] {
        ticks.push_back(scheduler.now());
        if (ticks.size() == 3) timer->cancel();
    });
    scheduler.advance(0.6);
    EXPECT_EQ(ticks, (std::vector<double>{0.25, 0.5}));
    scheduler.advance(10);
    EXPECT_EQ(ticks, (std::vector<double>{0.25, 0.5, 0.75}));
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    EXPECT_THROW(scheduler.repeating(0, [] {}), std::invalid_argument);
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
