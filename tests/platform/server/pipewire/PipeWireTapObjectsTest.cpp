// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireTapObjects.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

constexpr AudioObjectPropertyAddress usage(AudioObjectPropertyScope scope) {
    return {kAudioDevicePropertyIOProcStreamUsage, scope, kAudioObjectPropertyElementMain};
}

// An aggregate device on a headset (one input stream of its own) carrying two taps.
class PipeWireTapObjectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (AudioObjectID id : {10u, 11u}) {
            PipeWireTapObjects::Tap t;
            t.id = id;
            t.description.uuid = "tap-" + std::to_string(id);
            t.description.name = "Voxlane Tap";
            objects.taps.emplace(id, t);
        }
        PipeWireTapObjects::Aggregate a;
        a.id = 20;
        a.description.uid = "agg-uid";
        a.description.name = "Voxlane";
        a.rate = 44100;
        a.deviceInputs = 1;
        a.taps = {10, 11};
        PipeWireTapObjects::Proc p;
        p.id = 7;
        p.usage.assign(3, 1);
        p.run = 5;
        a.procs.push_back(p);
        objects.aggregates.emplace(20, a);
    }

    std::vector<std::uint32_t> flags(AudioObjectPropertyScope scope) {
        std::uint32_t size = 0;
        EXPECT_EQ(objects.getPropertyDataSize(20, usage(scope), &size), 0);
        std::vector<std::byte> block(size);
        setStreamUsageHeader(block.data(), 7, 0);
        EXPECT_EQ(objects.getPropertyData(20, usage(scope), &size, block.data()), 0);
        std::vector<std::uint32_t> result;
        for (std::uint32_t i = 0; i < streamUsageCount(block.data()); ++i)
            result.push_back(streamUsageFlag(block.data(), i));
        return result;
    }

    PipeWireTapObjects objects;
};

TEST_F(PipeWireTapObjectsTest, TapsShowTheirUidNameAndAnInterleavedStereoFloatFormat) {
    std::optional<std::string> text;
    ASSERT_EQ(objects.getPropertyString(
                  10, {kAudioTapPropertyUID, kAudioObjectPropertyScopeGlobal, 0}, &text),
              0);
    EXPECT_EQ(text, "tap-10");
    AudioStreamBasicDescription format{};
    std::uint32_t size = sizeof format;
    ASSERT_EQ(objects.getPropertyData(10,
                                      {kAudioTapPropertyFormat, kAudioObjectPropertyScopeGlobal, 0},
                                      &size, &format),
              0);
    EXPECT_EQ(format.mChannelsPerFrame, 2u);
    EXPECT_EQ(format.mFormatFlags & kAudioFormatFlagIsNonInterleaved, 0u);
    EXPECT_EQ(format.mFormatFlags & kAudioFormatFlagIsFloat, kAudioFormatFlagIsFloat);
    EXPECT_EQ(format.mBytesPerFrame, 8u);
    EXPECT_EQ(objects.getPropertyData(
                  10, {kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeGlobal, 0},
                  &size, &format),
              kAudioHardwareUnknownPropertyError);
    EXPECT_FALSE(objects.owns(99));
}

TEST_F(PipeWireTapObjectsTest, StreamUsageCountsDeviceInputsThenTapsAndKeepsOutputsOn) {
    EXPECT_EQ(flags(kAudioObjectPropertyScopeInput), (std::vector<std::uint32_t>{1, 1, 1}));
    bool settable = false;
    ASSERT_EQ(objects.isPropertySettable(20, usage(kAudioObjectPropertyScopeInput), &settable), 0);
    EXPECT_TRUE(settable);

    // Switch the headset's microphone off, as AppTap does.
    std::vector<std::byte> block(ioProcStreamUsageSize(3));
    setStreamUsageHeader(block.data(), 7, 3);
    setStreamUsageFlag(block.data(), 0, 0);
    setStreamUsageFlag(block.data(), 1, 1);
    setStreamUsageFlag(block.data(), 2, 1);
    ASSERT_EQ(objects.setPropertyData(20, usage(kAudioObjectPropertyScopeInput),
                                      std::uint32_t(block.size()), block.data()),
              0);
    EXPECT_EQ(flags(kAudioObjectPropertyScopeInput), (std::vector<std::uint32_t>{0, 1, 1}));
    EXPECT_EQ(flags(kAudioObjectPropertyScopeOutput), (std::vector<std::uint32_t>{1}));

    // An unknown procedure is refused.
    setStreamUsageHeader(block.data(), 8, 3);
    EXPECT_EQ(objects.setPropertyData(20, usage(kAudioObjectPropertyScopeInput),
                                      std::uint32_t(block.size()), block.data()),
              kAudioHardwareIllegalOperationError);
    // Nothing else is settable.
    EXPECT_EQ(objects.setPropertyData(
                  20, {kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeGlobal, 0},
                  8, block.data()),
              kAudioHardwareIllegalOperationError);
}

TEST_F(PipeWireTapObjectsTest, ADestroyedTapLeavesItsDevicesAndNamesTheRunsThatHeardIt) {
    // Turn the first tap's stream off to see that the right flag goes with it.
    objects.aggregates.at(20).procs[0].usage = {1, 0, 1};
    EXPECT_EQ(objects.removeTap(10), (std::vector<std::uint64_t>{5}));
    EXPECT_FALSE(objects.owns(10));
    EXPECT_EQ(objects.aggregates.at(20).taps, (std::vector<AudioObjectID>{11}));
    EXPECT_EQ(flags(kAudioObjectPropertyScopeInput), (std::vector<std::uint32_t>{1, 1}));
    double rate = 0;
    std::uint32_t size = sizeof rate;
    ASSERT_EQ(objects.getPropertyData(
                  20, {kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeGlobal, 0},
                  &size, &rate),
              0);
    EXPECT_EQ(rate, 44100.0);
}

} // namespace
} // namespace voxlane
