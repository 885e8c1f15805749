// SPDX-License-Identifier: GPL-3.0-or-later
// What only the simulated server does: its audio (what each device plays, muting at the
// source, stream usage, mono buffers), its faults and probes. What it shares with PipeWire is
// in contract/HalContractTest.cpp.
#include "platform/hal/SimHal.h"

#include "platform/ManualScheduler.h"
#include "support/AllocationCounter.h"
#include "support/HalAccess.h"
#include "support/SimObjects.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::counter;
using test::deviceSetup;
using test::fault;
using test::global;
using test::output;
using test::processSetup;
using Signal = SimHal::Signal;

class SimHalTest : public ::testing::Test {
protected:
    ManualScheduler scheduler;
    SimHal hal{scheduler};
};

// An aggregate device on `outputUID` carrying one tap of `processes`, with an IO procedure that
// writes the first tap channel times `gain` to every output channel.
struct TapRig {
    AudioObjectID tap = 0;
    AudioObjectID aggregate = 0;
    AudioDeviceIOProcID proc = 0;
    std::vector<std::uint32_t> lastInputChannels;
};

TapRig buildRig(SimHal& hal, std::vector<AudioObjectID> processes, const std::string& outputUID,
                TapMute mute, float gain) {
    TapRig rig;
    auto description = TapDescription::mixdownOf(std::move(processes));
    description.uuid = "TAP-" + outputUID;
    description.muteBehavior = mute;
    EXPECT_EQ(hal.createProcessTap(description, &rig.tap), 0);
    AggregateDescription aggregate;
    aggregate.uid = "agg-" + outputUID;
    aggregate.mainSubDevice = outputUID;
    aggregate.subDevices = {{outputUID}};
    aggregate.taps = {{description.uuid, true}};
    EXPECT_EQ(hal.createAggregateDevice(aggregate, &rig.aggregate), 0);
    auto* channels = &rig.lastInputChannels;
    EXPECT_EQ(hal.createIOProcID(
                  rig.aggregate,
                  [gain, channels](const BufferList* in, const BufferList* out) {
                      channels->clear();
                      for (std::uint32_t b = 0; b < in->numberBuffers; ++b)
                          channels->push_back(in->buffers[b].data ? in->buffers[b].numberChannels
                                                                  : 0);
                      if (in->numberBuffers == 0 || out->numberBuffers == 0) return;
                      const AudioBuffer& tap = in->buffers[in->numberBuffers - 1];
                      const auto* src = static_cast<const float*>(tap.data);
                      const std::uint32_t frames = tap.dataByteSize / (4 * tap.numberChannels);
                      auto* dst = static_cast<float*>(out->buffers[0].data);
                      const std::uint32_t c = out->buffers[0].numberChannels;
                      for (std::uint32_t i = 0; i < frames; ++i)
                          for (std::uint32_t j = 0; j < c; ++j)
                              dst[i * c + j] = src[i * tap.numberChannels] * gain;
                  },
                  &rig.proc),
              0);
    return rig;
}

TEST_F(SimHalTest, DefaultsMoveOnWhenTheirDeviceGoesAndEqualWritesNotifyNobody) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    const auto headset =
        hal.addDevice(deviceSetup("headset", "Headset", Transport::bluetooth, {2}, {1}));
    scheduler.runPending();
    int fired = 0;
    const auto address = global(kAudioHardwarePropertyDefaultOutputDevice);
    hal.addPropertyListener(kAudioObjectSystemObject, address, counter(fired));
    test::write(hal, kAudioObjectSystemObject, address, speakers);
    scheduler.runPending();
    EXPECT_EQ(fired, 0);
    // The first input device became the default input; a gone default output moves on.
    EXPECT_EQ(hal.defaultDevice(kAudioHardwarePropertyDefaultInputDevice), headset);
    hal.removeDevice(speakers);
    EXPECT_EQ(hal.defaultDevice(kAudioHardwarePropertyDefaultOutputDevice), headset);
    hal.removeDevice(headset);
    EXPECT_EQ(hal.defaultDevice(kAudioHardwarePropertyDefaultOutputDevice), kAudioObjectUnknown);
}

TEST_F(SimHalTest, DevicesPlayTheirProcessesAtTheirVolumeAndFlagsLockControls) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    const auto usb = hal.addDevice(deviceSetup("usb", "USB"));
    auto tv = deviceSetup("hdmi", "TV", Transport::hdmi);
    tv.hasVirtualMainVolume = false;
    tv.outputVolumeElements = {};
    const auto fixed = hal.addDevice(tv);
    EXPECT_FALSE(
        hal.hasProperty(fixed, output(kAudioHardwareServiceDeviceProperty_VirtualMainVolume)));
    const auto music = hal.addProcess(processSetup(100, Signal::square(0.8f), "org.music"));
    hal.addProcess(processSetup(200, Signal::square(0.25f), std::nullopt, usb));
    EXPECT_EQ(CA::string(hal, music, global(kAudioProcessPropertyBundleID)), "org.music");

    ASSERT_EQ(test::write(hal, speakers,
                          output(kAudioHardwareServiceDeviceProperty_VirtualMainVolume), 0.5f),
              0);
    hal.advance(512);
    EXPECT_FLOAT_EQ(hal.peak(speakers), 0.4f);
    EXPECT_FLOAT_EQ(hal.peak(usb), 0.25f);
    EXPECT_EQ(hal.lastSamples(usb).size(), 2u * 512);
    test::write(hal, speakers, output(kAudioDevicePropertyMute), std::uint32_t(1));
    hal.advance(512);
    EXPECT_EQ(hal.peak(speakers), 0.0f);
    test::write(hal, speakers, output(kAudioDevicePropertyMute), std::uint32_t(0));
    hal.setProcessRunning(music, false, false);
    hal.advance(512);
    EXPECT_EQ(hal.peak(speakers), 0.0f);

    auto mic = deviceSetup("locked", "Locked", Transport::usb, {}, {1});
    mic.inputMuteSettable = false;
    const auto locked = hal.addDevice(mic);
    EXPECT_FALSE(test::settable(hal, locked, test::input(kAudioDevicePropertyMute)));
    EXPECT_EQ(test::write(hal, locked, test::input(kAudioDevicePropertyMute), std::uint32_t(1)),
              kAudioHardwareIllegalOperationError);
    EXPECT_FALSE(hal.deviceMuted(locked, kAudioObjectPropertyScopeInput));
}

TEST_F(SimHalTest, TapsMuteAtTheSourceOnlyWhileReadAndOnlyWithThatBehaviour) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    const auto app = hal.addProcess(processSetup(100, Signal::square(0.5f)));
    auto rig = buildRig(hal, {app}, "speakers", TapMute::mutedWhenTapped, 0.25f);
    hal.advance(512); // not read yet: the app is heard as it is
    EXPECT_FALSE(hal.isMutedAtSource(app));
    EXPECT_FLOAT_EQ(hal.peak(speakers), 0.5f);

    ASSERT_EQ(hal.deviceStart(rig.aggregate, rig.proc), 0);
    hal.advance(512);
    EXPECT_TRUE(hal.isMutedAtSource(app));
    EXPECT_EQ(hal.processAudiblePeak(app), 0.0f);
    EXPECT_FLOAT_EQ(hal.peak(speakers), 0.125f);
    // Without the permission to capture, the tap delivers silence.
    hal.setCaptureAllowed(false);
    hal.advance(512);
    EXPECT_EQ(hal.peak(speakers), 0.0f);
    hal.setCaptureAllowed(true);
    ASSERT_EQ(hal.deviceStop(rig.aggregate, rig.proc), 0);
    hal.advance(512);
    EXPECT_FALSE(hal.isMutedAtSource(app));
    EXPECT_FLOAT_EQ(hal.peak(speakers), 0.5f);
    hal.destroyAggregateDevice(rig.aggregate);
    hal.destroyProcessTap(rig.tap);

    // An unmuted tap lets the app play beside the processed signal.
    auto beside = buildRig(hal, {app}, "speakers", TapMute::unmuted, 0.25f);
    hal.deviceStart(beside.aggregate, beside.proc);
    hal.advance(512);
    EXPECT_FALSE(hal.isMutedAtSource(app));
    EXPECT_FLOAT_EQ(hal.peak(speakers), 0.625f);
}

TEST_F(SimHalTest, InputListCarriesSubDeviceInputsThenTapAndHonoursStreamUsage) {
    hal.addDevice(deviceSetup("headset", "Headset", Transport::bluetooth, {2}, {1}));
    const auto app = hal.addProcess(processSetup(100, Signal::square(0.5f)));
    auto rig = buildRig(hal, {app}, "headset", TapMute::mutedWhenTapped, 1.0f);
    hal.deviceStart(rig.aggregate, rig.proc);
    hal.advance(512);
    EXPECT_EQ(rig.lastInputChannels, (std::vector<std::uint32_t>{1, 2}));

    std::uint32_t size = 0;
    const auto usage = test::input(kAudioDevicePropertyIOProcStreamUsage);
    ASSERT_EQ(hal.getPropertyDataSize(rig.aggregate, usage, 0, nullptr, &size), 0);
    ASSERT_EQ(size, ioProcStreamUsageSize(2));
    std::vector<std::byte> block(size);
    setStreamUsageHeader(block.data(), rig.proc, 0);
    ASSERT_EQ(hal.getPropertyData(rig.aggregate, usage, 0, nullptr, &size, block.data()), 0);
    EXPECT_EQ(streamUsageCount(block.data()), 2u);
    setStreamUsageFlag(block.data(), 0, 0);
    ASSERT_EQ(hal.setPropertyData(rig.aggregate, usage, 0, nullptr, size, block.data()), 0);
    EXPECT_EQ(hal.streamUsage(rig.aggregate, rig.proc), (std::vector<std::uint32_t>{0, 1}));
    hal.advance(512);
    EXPECT_EQ(rig.lastInputChannels, (std::vector<std::uint32_t>{0, 2})); // data now null
    // A usage block naming an unknown IO procedure is refused.
    setStreamUsageHeader(block.data(), rig.proc + 100, 2);
    EXPECT_NE(hal.setPropertyData(rig.aggregate, usage, 0, nullptr, size, block.data()), 0);
}

TEST_F(SimHalTest, NonInterleavedTapsDeliverTwoMonoBuffers) {
    hal.addDevice(deviceSetup("speakers", "Speakers"));
    hal.setTapsNonInterleaved(true);
    const auto app = hal.addProcess(processSetup(100, Signal::square(0.5f)));
    auto rig = buildRig(hal, {app}, "speakers", TapMute::unmuted, 1.0f);
    const auto format =
        CA::value<AudioStreamBasicDescription>(hal, rig.tap, global(kAudioTapPropertyFormat));
    ASSERT_TRUE(format);
    EXPECT_TRUE(format->mFormatFlags & kAudioFormatFlagIsNonInterleaved);
    hal.deviceStart(rig.aggregate, rig.proc);
    hal.advance(512);
    EXPECT_EQ(rig.lastInputChannels, (std::vector<std::uint32_t>{1, 1}));
}

TEST_F(SimHalTest, FaultsHitTheChosenCallsAndCountersTrackLiveObjects) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    const auto app = hal.addProcess(processSetup(100, Signal::sine(0.5f)));
    hal.injectFault(fault(SimHal::Operation::createProcessTap, -50, std::nullopt, std::nullopt, 1));
    AudioObjectID tap = 0;
    auto description = TapDescription::mixdownOf({app});
    EXPECT_EQ(hal.createProcessTap(description, &tap), -50);
    EXPECT_EQ(hal.liveTaps(), 0u);
    EXPECT_EQ(hal.createProcessTap(description, &tap), 0); // the fault was used up

    hal.injectFault(fault(SimHal::Operation::getPropertyData, kAudioHardwareUnspecifiedError,
                          speakers, kAudioDevicePropertyDeviceUID));
    std::optional<std::string> uid;
    EXPECT_NE(hal.getPropertyString(speakers, global(kAudioDevicePropertyDeviceUID), &uid), 0);
    EXPECT_EQ(CA::string(hal, speakers, global(kAudioObjectPropertyName)), "Speakers");
    hal.injectFault(fault(SimHal::Operation::hasProperty, -1, speakers));
    EXPECT_FALSE(
        hal.hasProperty(speakers, output(kAudioHardwareServiceDeviceProperty_VirtualMainVolume)));
    hal.clearFaults();
    EXPECT_EQ(CA::string(hal, speakers, global(kAudioDevicePropertyDeviceUID)), "speakers");

    auto rig = buildRig(hal, {app}, "speakers", TapMute::unmuted, 1.0f);
    hal.deviceStart(rig.aggregate, rig.proc);
    EXPECT_EQ(hal.liveTaps(), 2u);
    EXPECT_EQ(hal.liveAggregateDevices(), 1u);
    EXPECT_EQ(hal.liveIOProcs(), 1u);
    EXPECT_EQ(hal.runningIOProcs(), 1u);
    EXPECT_EQ(hal.destroyAggregateDevice(rig.aggregate), 0);
    EXPECT_EQ(hal.liveIOProcs(), 0u);
    EXPECT_EQ(hal.destroyProcessTap(tap), 0);
    EXPECT_EQ(hal.calls(SimHal::Operation::createProcessTap), 3u);
}

TEST_F(SimHalTest, SoundsPlayOnceOnTheDefaultOutputAndGlobalTapsHearThem) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    AudioObjectID tap = 0;
    auto description = TapDescription::allExcept({});
    description.uuid = "GLOBAL";
    ASSERT_EQ(hal.createProcessTap(description, &tap), 0);
    AudioObjectID aggregate = 0;
    AggregateDescription agg;
    agg.uid = "agg";
    agg.mainSubDevice = "speakers";
    agg.subDevices = {{"speakers"}};
    agg.taps = {{"GLOBAL", true}};
    ASSERT_EQ(hal.createAggregateDevice(agg, &aggregate), 0);
    float heard = 0;
    AudioDeviceIOProcID proc = 0;
    hal.createIOProcID(
        aggregate,
        [&heard](const BufferList* in, const BufferList*) {
            const AudioBuffer& b = in->buffers[in->numberBuffers - 1];
            for (std::uint32_t i = 0; i < b.dataByteSize / 4; ++i)
                heard = std::max(heard, std::abs(static_cast<const float*>(b.data)[i]));
        },
        &proc);
    hal.deviceStart(aggregate, proc);

    auto samples = std::make_shared<std::vector<float>>(1000, 1.0f);
    ASSERT_EQ(hal.playSound("tick", samples, 0.08f), 0);
    hal.advance(2048);
    EXPECT_FLOAT_EQ(heard, 0.08f);
    EXPECT_FLOAT_EQ(hal.peak(speakers), 0.08f);
    ASSERT_EQ(hal.playedSounds().size(), 1u);
    EXPECT_EQ(hal.playedSounds()[0].name, "tick");
    hal.advance(2048); // played once only
    EXPECT_EQ(hal.peak(speakers), 0.0f);
}

TEST_F(SimHalTest, AdvanceAllocatesNothingOnceObjectsExist) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    const auto app = hal.addProcess(processSetup(100, Signal::sine(0.5f)));
    auto rig = buildRig(hal, {app}, "speakers", TapMute::mutedWhenTapped, 0.5f);
    rig.lastInputChannels.reserve(8);
    hal.deviceStart(rig.aggregate, rig.proc);
    hal.advance(512);
    {
        test::AllocationCounter allocations;
        hal.advance(48000);
        EXPECT_EQ(allocations.count(), 0u);
    }
    EXPECT_NEAR(hal.peak(speakers), 0.25f, 1e-3);
}

TEST_F(SimHalTest, GoneObjectsKeepTheirRegistrationsUntilRemoved) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    const auto app = hal.addProcess(processSetup(100, Signal::sine(0.5f)));
    int running = 0;
    auto block = counter(running);
    const auto address = global(kAudioProcessPropertyIsRunningOutput);
    ASSERT_EQ(hal.addPropertyListener(app, address, block), 0);
    hal.removeProcess(app);
    scheduler.runPending();
    // The listener on the vanished process is still counted: only its owner can remove it.
    EXPECT_EQ(hal.liveListeners(), 1u);
    EXPECT_EQ(hal.removePropertyListener(app, address, block), 0);
    EXPECT_EQ(hal.liveListeners(), 0u);

    // An aggregate device whose sub-device disconnects plays nowhere and keeps running.
    const auto other = hal.addProcess(processSetup(101, Signal::square(0.5f)));
    auto rig = buildRig(hal, {other}, "speakers", TapMute::mutedWhenTapped, 1.0f);
    hal.deviceStart(rig.aggregate, rig.proc);
    hal.removeDevice(speakers);
    hal.advance(512);
    EXPECT_EQ(hal.runningIOProcs(), 1u);
    EXPECT_EQ(rig.lastInputChannels, (std::vector<std::uint32_t>{2})); // only the tap is left
}

} // namespace
} // namespace voxlane
