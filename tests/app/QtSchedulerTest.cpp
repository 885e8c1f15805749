// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/QtScheduler.h"

#include <QTest>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace voxlane {
namespace {

// The real event loop runs here: each test waits for what it expects with a generous limit.
bool waitFor(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, 2000);
}

TEST(QtScheduler, AsyncRunsLaterInOrderAndDelayedWorkAfterItsDelayUnlessCancelled) {
    QtScheduler scheduler;
    std::vector<int> order;
    scheduler.async([&] { order.push_back(1); });
    scheduler.async([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty()); // never inline, even on the main thread
    const double start = scheduler.now();
    double ranAt = -1;
    bool cancelledRan = false;
    auto cancelled = scheduler.asyncAfter(0.02, [&] { cancelledRan = true; });
    scheduler.asyncAfter(0.05, [&] { ranAt = scheduler.now(); });
    cancelled->cancel();
    ASSERT_TRUE(waitFor([&] { return ranAt >= 0; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    // The clock counts seconds.
    EXPECT_GE(ranAt - start, 0.045);
    EXPECT_LT(ranAt - start, 1.0);
    EXPECT_FALSE(cancelledRan);
    EXPECT_TRUE(cancelled->isCancelled());
}

TEST(QtScheduler, RepeatingRunsUntilCancelledEvenFromItsOwnWork) {
    QtScheduler scheduler;
    int runs = 0;
    WorkItemRef timer;
    timer = scheduler.repeating(0.005, [&] {
        if (++runs == 3) timer->cancel();
    });
    ASSERT_TRUE(waitFor([&] { return runs >= 3; }));
    // Several more intervals go by: nothing more may run.
    bool later = false;
    scheduler.asyncAfter(0.04, [&] { later = true; });
    ASSERT_TRUE(waitFor([&] { return later; }));
    EXPECT_EQ(runs, 3);
}

TEST(QtScheduler, WorkFromOtherThreadsRunsOnTheMainThread) {
    QtScheduler scheduler;
    QThread* main = QThread::currentThread();
    std::atomic<bool> asyncOnMain{false}, delayedOnMain{false}, syncDone{false};
    std::thread worker([&] {
        scheduler.async([&] { asyncOnMain = QThread::currentThread() == main; });
        scheduler.asyncAfter(0.01, [&] { delayedOnMain = QThread::currentThread() == main; });
        // Blocks until the main loop has run it.
        int value = 0;
        scheduler.sync([&] { value = QThread::currentThread() == main ? 42 : -1; });
        syncDone = value == 42;
    });
    ASSERT_TRUE(waitFor([&] { return syncDone.load() && delayedOnMain.load(); }));
    worker.join();
    EXPECT_TRUE(asyncOnMain);
    // On the main thread itself sync runs at once.
    int inline_ = 0;
    scheduler.sync([&] { inline_ = 7; });
    EXPECT_EQ(inline_, 7);
}

} // namespace
} // namespace voxlane
