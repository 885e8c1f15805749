// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ObserverList.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

// Delivery itself is what every engine observer test stands on.
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
