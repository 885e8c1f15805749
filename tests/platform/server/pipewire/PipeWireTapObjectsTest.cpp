// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireTapObjects.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

// Aggregate device 20 on a headset (a mono input, a stereo output) carrying taps 10 and 11, all
// at 44.1 kHz, and render 7 running as run 5 with every input stream on.
class PipeWireTapObjectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (ObjectId id : {10u, 11u})
            objects.taps[id] = {id, {}, {}, 44100};
        objects.aggregates[20] = {20,  {},  "headset", 44100,
                                  {1}, {2}, {10, 11},  {{7, nullptr, {true, true, true}, 5}}};
        objects.aggregates[20].description.uid = "agg-uid";
    }

    ServerModel::Device device() {
        ServerModel model;
        objects.addTo(model);
        return model.devices.at(20);
    }

    PipeWireTapObjects objects;
};

// Taps deliver interleaved stereo at their rate; the device has its sub-device's inputs and then
// one stereo stream per tap. (Its listing and transport are the server contract's.)
TEST_F(PipeWireTapObjectsTest, StreamsAreTheSubDevicesInputsThenTheTapsWithAFlagEach) {
    EXPECT_EQ(objects.format(10), (StreamFormat{44100, 2, true}));
    EXPECT_FALSE(objects.format(20)); // the device is no tap
    EXPECT_EQ(device().info,
              (DeviceInfo{20, "agg-uid", "", Transport::aggregate, {2}, {1, 2, 2}, 44100}));

    EXPECT_EQ(objects.inputUsage(20, 7), (std::vector<bool>{true, true, true}));
    // Switch the headset's microphone off, as an app's tap does.
    ASSERT_EQ(objects.setInputUsage(20, 7, {false, true, true}), ServerError::none);
    EXPECT_EQ(objects.inputUsage(20, 7), (std::vector<bool>{false, true, true}));
    // Flags beyond the streams are ignored, missing ones keep their value.
    ASSERT_EQ(objects.setInputUsage(20, 7, {true, false}), ServerError::none);
    EXPECT_EQ(objects.inputUsage(20, 7), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(objects.setInputUsage(20, 8, {true}), ServerError::unknownObject);
    EXPECT_EQ(objects.setInputUsage(10, 7, {true}), ServerError::unknownObject);
    EXPECT_FALSE(objects.inputUsage(20, 8));

    // The first tap's stream is off now: its flag goes with it, and its runs are named.
    EXPECT_EQ(objects.removeTap(10), (std::vector<std::uint64_t>{5}));
    EXPECT_FALSE(objects.format(10));
    EXPECT_EQ(objects.aggregates.at(20).taps, (std::vector<ObjectId>{11}));
    EXPECT_EQ(objects.inputUsage(20, 7), (std::vector<bool>{true, true}));
    EXPECT_EQ(device().info.inputStreams, (std::vector<std::uint32_t>{1, 2}));
}

} // namespace
} // namespace voxlane
