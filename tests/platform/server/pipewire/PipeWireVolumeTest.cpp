// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireVolume.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace voxlane {
namespace {

TEST(PipeWireVolumeTest, SliderPositionsAreCubeRootsOfGains) {
    EXPECT_FLOAT_EQ(PipeWireVolume::scalarFromGain(0.125f), 0.5f);
    EXPECT_FLOAT_EQ(PipeWireVolume::gainFromScalar(0.5f), 0.125f);
    EXPECT_FLOAT_EQ(PipeWireVolume::scalarFromGain(PipeWireVolume::gainFromScalar(0.3f)), 0.3f);
    // Out of range and invalid values land inside 0…1.
    EXPECT_EQ(PipeWireVolume::scalarFromGain(2.0f), 1.0f);
    EXPECT_EQ(PipeWireVolume::scalarFromGain(-0.1f), 0.0f);
    EXPECT_EQ(PipeWireVolume::scalarFromGain(std::numeric_limits<float>::quiet_NaN()), 0.0f);
    EXPECT_EQ(PipeWireVolume::gainFromScalar(1.5f), 1.0f);
    EXPECT_EQ(PipeWireVolume::gainFromScalar(std::numeric_limits<float>::quiet_NaN()), 0.0f);
}

// How the main slider keeps the balance is seen through PipeWireModel's volume writes.
TEST(PipeWireVolumeTest, MainSliderOfNoChannelsOrFromSilence) {
    EXPECT_EQ(PipeWireVolume::mainScalar({}), 0.0f);
    // From silence every channel gets the same gain.
    EXPECT_EQ(PipeWireVolume::withMainScalar({0.0f, 0.0f}, 1.0f), (std::vector<float>{1.0f, 1.0f}));
}

} // namespace
} // namespace voxlane
