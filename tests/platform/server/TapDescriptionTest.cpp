// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/TapDescription.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

TEST(TapDescriptionTest, AMixdownCapturesItsProcessesAGlobalTapAllButTheExcluded) {
    auto mixdown = TapDescription::mixdownOf({7, 9});
    EXPECT_TRUE(mixdown.captures(9));
    EXPECT_FALSE(mixdown.captures(8));
    auto global = TapDescription::allExcept({9});
    EXPECT_TRUE(global.captures(8));
    EXPECT_FALSE(global.captures(9));
    EXPECT_TRUE(TapDescription::allExcept({}).captures(1234));
}

} // namespace
} // namespace voxlane
