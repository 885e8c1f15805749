// SPDX-License-Identifier: GPL-3.0-or-later
// What every engine test stands on and does not itself meet: the scheduler's cross-thread path
// and observers changing the list while notified.
#include "platform/ManualScheduler.h"
#include "platform/ObserverList.h"

#include <gtest/gtest.h>
#include <thread>

namespace voxlane {
namespace {

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

TEST(ObserverList, HandlersMayUnsubscribeThemselvesAndOthersWhileNotified) {
    ObserverList<int> list;
    int calls = 0;
    Subscription first, second;
    first = list.subscribe([&](int) {
        ++calls;
        first.reset();  // itself
        second.reset(); // and the next one, before it runs
    });
    second = list.subscribe([&](int) { ++calls; });
    Subscription late;
    auto adder = list.subscribe([&](int) {
        if (!late) late = list.subscribe([&](int) { ++calls; });
    });
    list.notify(0);
    EXPECT_EQ(calls, 1);
    list.notify(0);
    EXPECT_EQ(calls, 2); // only the one added during the first notification
}

} // namespace
} // namespace voxlane
