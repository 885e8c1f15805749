// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireTapObjects.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

// An aggregate device on a headset (one input stream of its own) carrying two taps.
class PipeWireTapObjectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (ObjectId id : {10u, 11u}) {
            PipeWireTapObjects::Tap t;
            t.id = id;
            t.description.uuid = "tap-" + std::to_string(id);
            t.rate = 44100;
            objects.taps.emplace(id, t);
        }
        PipeWireTapObjects::Aggregate a;
        a.id = 20;
        a.description.uid = "agg-uid";
        a.description.name = "Voxlane";
        a.rate = 44100;
        a.deviceInputs = {1};
        a.deviceOutputs = {2};
        a.taps = {10, 11};
        PipeWireTapObjects::Render r;
        r.id = 7;
        r.usage.assign(3, true);
        r.run = 5;
        a.renders.push_back(r);
        objects.aggregates.emplace(20, a);
    }

    ServerModel::Device device() {
        ServerModel model;
        objects.addTo(model);
        return model.devices.at(20);
    }

    PipeWireTapObjects objects;
};

TEST_F(PipeWireTapObjectsTest, TapsDeliverInterleavedStereoAtTheirRate) {
    EXPECT_EQ(objects.format(10), (StreamFormat{44100, 2, true}));
    EXPECT_FALSE(objects.format(20)); // the device is no tap
    EXPECT_FALSE(objects.format(99));
}

TEST_F(PipeWireTapObjectsTest, TheDeviceIsUnlistedWithItsInputsThenOneStereoStreamPerTap) {
    const auto d = device();
    EXPECT_FALSE(d.listed);
    EXPECT_EQ(d.info.uid, "agg-uid");
    EXPECT_EQ(d.info.transport, Transport::aggregate);
    EXPECT_EQ(d.info.sampleRate, 44100.0);
    EXPECT_EQ(d.info.inputStreams, (std::vector<std::uint32_t>{1, 2, 2}));
    EXPECT_EQ(d.info.outputStreams, (std::vector<std::uint32_t>{2}));
}

TEST_F(PipeWireTapObjectsTest, InputUsageIsSetPerStreamForKnownRendersOnly) {
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
}

TEST_F(PipeWireTapObjectsTest, ADestroyedTapLeavesItsDevicesAndNamesTheRunsThatHeardIt) {
    // Turn the first tap's stream off to see that the right flag goes with it.
    objects.aggregates.at(20).renders[0].usage = {true, false, true};
    EXPECT_EQ(objects.removeTap(10), (std::vector<std::uint64_t>{5}));
    EXPECT_FALSE(objects.format(10));
    EXPECT_EQ(objects.aggregates.at(20).taps, (std::vector<ObjectId>{11}));
    EXPECT_EQ(objects.inputUsage(20, 7), (std::vector<bool>{true, true}));
    EXPECT_EQ(device().info.inputStreams, (std::vector<std::uint32_t>{1, 2}));
}

} // namespace
} // namespace voxlane
