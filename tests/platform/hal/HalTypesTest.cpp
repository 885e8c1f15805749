// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hal/HalConstants.h"
#include "platform/server/TapDescription.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

TEST(HalTypes, StreamUsageBlockLayout) {
    // IO procedure id, then the stream count, then one flag per stream with no padding between.
    EXPECT_EQ(ioProcStreamUsageHeaderSize, 12u);
    EXPECT_EQ(ioProcStreamUsageSize(3), 24u);
    std::vector<std::byte> block(ioProcStreamUsageSize(3));
    setStreamUsageFlag(block.data(), 2, 1);
    EXPECT_EQ(streamUsageFlag(block.data(), 2), 1u);
    EXPECT_EQ(streamUsageFlag(block.data(), 1), 0u);
}

TEST(HalTypes, TapDescriptionCaptures) {
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
