// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ObserverList.h"

#include <gtest/gtest.h>
#include <vector>

namespace voxlane {
namespace {

TEST(ObserverList, DeliversToLiveSubscriptionsOnly) {
    ObserverList<int> list;
    std::vector<int> a, b;
    auto subA = list.subscribe([&](int e) { a.push_back(e); });
    auto subB = list.subscribe([&](int e) { b.push_back(e); });
    list.notify(1);
    subB.reset();
    list.notify(2);
    EXPECT_EQ(a, (std::vector<int>{1, 2}));
    EXPECT_EQ(b, (std::vector<int>{1}));
    subA.reset();
    EXPECT_TRUE(list.empty());
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
