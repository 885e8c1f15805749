// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hal/SimHal.h"

#include "platform/ManualScheduler.h"
#include "support/AllocationCounter.h"
#include "support/SimObjects.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::deviceSetup;
using test::fault;
using test::processSetup;
using Signal = SimHal::Signal;

constexpr AudioObjectPropertyAddress global(AudioObjectPropertySelector selector) {
    return {selector, kAudioObjectPropertyScopeGlobal, kAudioObjectPropertyElementMain};
}
constexpr AudioObjectPropertyAddress output(AudioObjectPropertySelector selector,
                                            AudioObjectPropertyElement element = 0) {
    return {selector, kAudioObjectPropertyScopeOutput, element};
}

class SimHalTest : public ::testing::Test {
protected:
    ManualScheduler scheduler;
    SimHal hal{scheduler};

    template <typename T>
    T read(AudioObjectID object, AudioObjectPropertyAddress address) {
        T value{};
        std::uint32_t size = sizeof value;
        EXPECT_EQ(hal.getPropertyData(object, address, 0, nullptr, &size, &value), 0);
        return value;
    }
    std::vector<std::uint32_t> readList(AudioObjectID object, AudioObjectPropertyAddress address) {
        std::uint32_t size = 0;
        if (hal.getPropertyDataSize(object, address, 0, nullptr, &size) != 0 || size == 0)
            return {};
        std::vector<std::uint32_t> list(size / 4);
        EXPECT_EQ(hal.getPropertyData(object, address, 0, nullptr, &size, list.data()), 0);
        list.resize(size / 4);
        return list;
    }
    std::optional<std::string> readString(AudioObjectID object, AudioObjectPropertySelector sel) {
        std::optional<std::string> value;
        EXPECT_EQ(hal.getPropertyString(object, global(sel), &value), 0);
        return value;
    }
    AudioObjectPropertyListenerBlockRef counter(int& count) {
        return std::make_shared<AudioObjectPropertyListenerBlock>(
            [&count](std::uint32_t, const AudioObjectPropertyAddress*) { ++count; });
    }
};

TEST_F(SimHalTest, DevicesDefaultsAndStreams) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    const auto headset =
        hal.addDevice(deviceSetup("headset", "Headset", Transport::bluetooth, {2}, {1}));
    EXPECT_EQ(readList(kAudioObjectSystemObject, global(kAudioHardwarePropertyDevices)),
              (std::vector<std::uint32_t>{speakers, headset}));
    EXPECT_EQ(readString(headset, kAudioDevicePropertyDeviceUID), "headset");
    EXPECT_EQ(readString(headset, kAudioObjectPropertyName), "Headset");
    EXPECT_EQ(read<Transport>(headset, global(kAudioDevicePropertyTransportType)),
              Transport::bluetooth);
    EXPECT_EQ(
        readList(headset, {kAudioDevicePropertyStreams, kAudioObjectPropertyScopeInput, 0}).size(),
        1u);
    EXPECT_TRUE(readList(speakers, {kAudioDevicePropertyStreams, kAudioObjectPropertyScopeInput, 0})
                    .empty());
    // The first output device became the default output; the first input device the input.
    EXPECT_EQ(read<std::uint32_t>(kAudioObjectSystemObject,
                                  global(kAudioHardwarePropertyDefaultOutputDevice)),
              speakers);
    EXPECT_EQ(read<std::uint32_t>(kAudioObjectSystemObject,
                                  global(kAudioHardwarePropertyDefaultInputDevice)),
              headset);
    // A device without input cannot become the default input.
    EXPECT_EQ(hal.setPropertyData(kAudioObjectSystemObject,
                                  global(kAudioHardwarePropertyDefaultInputDevice), 0, nullptr, 4,
                                  &speakers),
              kAudioHardwareBadDeviceError);
    // Disconnecting the default output moves the default to the next device.
    hal.removeDevice(speakers);
    EXPECT_EQ(hal.defaultDevice(kAudioHardwarePropertyDefaultOutputDevice), headset);
    EXPECT_FALSE(hal.hasProperty(speakers, global(kAudioObjectPropertyName)));
}

TEST_F(SimHalTest, ListenersRunOnTheMainQueueAndRemovalNeedsTheSameBlock) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    const auto usb = hal.addDevice(deviceSetup("usb", "USB"));
    scheduler.runPending();
    int fired = 0;
    auto block = counter(fired);
    const auto address = global(kAudioHardwarePropertyDefaultOutputDevice);
    ASSERT_EQ(hal.addPropertyListener(kAudioObjectSystemObject, address, block), 0);
    EXPECT_EQ(hal.liveListeners(), 1u);

    ASSERT_EQ(hal.setPropertyData(kAudioObjectSystemObject, address, 0, nullptr, 4, &usb), 0);
    EXPECT_EQ(fired, 0); // not synchronously
    scheduler.runPending();
    EXPECT_EQ(fired, 1);
    // Writing the same value again changes nothing and notifies nobody.
    hal.setPropertyData(kAudioObjectSystemObject, address, 0, nullptr, 4, &usb);
    scheduler.runPending();
    EXPECT_EQ(fired, 1);

    // An equal function in another block object is not the registered listener.
    auto lookalike = counter(fired);
    EXPECT_NE(hal.removePropertyListener(kAudioObjectSystemObject, address, lookalike), 0);
    EXPECT_EQ(hal.liveListeners(), 1u);

    // A notification pending when the listener is removed is not delivered.
    hal.setPropertyData(kAudioObjectSystemObject, address, 0, nullptr, 4, &speakers);
    EXPECT_EQ(hal.removePropertyListener(kAudioObjectSystemObject, address, block), 0);
    scheduler.runPending();
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(hal.liveListeners(), 0u);
    EXPECT_EQ(hal.addPropertyListener(999, address, block), kAudioHardwareBadObjectError);
}

TEST_F(SimHalTest, VolumeAndMuteControlsFollowTheirFlagsAndWhatIsHeard) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    auto tv = deviceSetup("hdmi", "TV", Transport::hdmi);
    tv.hasVirtualMainVolume = false;
    tv.outputVolumeElements = {};
    const auto fixed = hal.addDevice(tv);
    hal.addProcess(processSetup(100, Signal::square(0.8f)));
    EXPECT_FALSE(
        hal.hasProperty(fixed, output(kAudioHardwareServiceDeviceProperty_VirtualMainVolume)));

    int element1 = 0;
    hal.addPropertyListener(speakers, output(kAudioDevicePropertyVolumeScalar, 1),
                            counter(element1));
    const float half = 0.5f;
    bool settable = false;
    ASSERT_EQ(hal.isPropertySettable(speakers,
                                     output(kAudioHardwareServiceDeviceProperty_VirtualMainVolume),
                                     &settable),
              0);
    EXPECT_TRUE(settable);
    ASSERT_EQ(hal.setPropertyData(speakers,
                                  output(kAudioHardwareServiceDeviceProperty_VirtualMainVolume), 0,
                                  nullptr, 4, &half),
              0);
    EXPECT_FLOAT_EQ(read<float>(speakers, output(kAudioDevicePropertyVolumeScalar, 2)), 0.5f);
    scheduler.runPending();
    EXPECT_EQ(element1, 1);
    hal.advance(512);
    EXPECT_FLOAT_EQ(hal.peak(speakers), 0.4f);

    const std::uint32_t muted = 1;
    ASSERT_EQ(
        hal.setPropertyData(speakers, output(kAudioDevicePropertyMute), 0, nullptr, 4, &muted), 0);
    hal.advance(512);
    EXPECT_EQ(hal.peak(speakers), 0.0f);

    auto mic = deviceSetup("locked", "Locked", Transport::usb, {}, {1});
    mic.inputMuteSettable = false;
    const auto locked = hal.addDevice(mic);
    ASSERT_EQ(hal.isPropertySettable(
                  locked, {kAudioDevicePropertyMute, kAudioObjectPropertyScopeInput, 0}, &settable),
              0);
    EXPECT_FALSE(settable);
    EXPECT_EQ(hal.setPropertyData(locked,
                                  {kAudioDevicePropertyMute, kAudioObjectPropertyScopeInput, 0}, 0,
                                  nullptr, 4, &muted),
              kAudioHardwareIllegalOperationError);
    EXPECT_FALSE(hal.deviceMuted(locked, kAudioObjectPropertyScopeInput));
}

TEST_F(SimHalTest, ProcessesPlayToTheirDeviceAndAreFoundByPid) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    const auto usb = hal.addDevice(deviceSetup("usb", "USB"));
    const auto music = hal.addProcess(processSetup(100, Signal::sine(0.5f), "org.music"));
    const auto radio = hal.addProcess(processSetup(200, Signal::square(0.25f), std::nullopt, usb));
    hal.advance(4800);
    EXPECT_NEAR(hal.peak(speakers), 0.5f, 1e-3);
    EXPECT_FLOAT_EQ(hal.peak(usb), 0.25f);
    EXPECT_EQ(hal.lastSamples(usb).size(), 2u * 4800);

    const std::int32_t pid = 200;
    AudioObjectID found = 0;
    std::uint32_t size = 4;
    ASSERT_EQ(hal.getPropertyData(kAudioObjectSystemObject,
                                  global(kAudioHardwarePropertyTranslatePIDToProcessObject), 4,
                                  &pid, &size, &found),
              0);
    EXPECT_EQ(found, radio);
    EXPECT_EQ(readString(music, kAudioProcessPropertyBundleID), "org.music");
    EXPECT_EQ(readString(radio, kAudioProcessPropertyBundleID), std::nullopt);

    int runningChanges = 0;
    hal.addPropertyListener(music, global(kAudioProcessPropertyIsRunningOutput),
                            counter(runningChanges));
    hal.setProcessRunning(music, false, false);
    scheduler.runPending();
    EXPECT_EQ(runningChanges, 1);
    EXPECT_EQ(read<std::uint32_t>(music, global(kAudioProcessPropertyIsRunningOutput)), 0u);
    hal.advance(4800);
    EXPECT_EQ(hal.peak(speakers), 0.0f);
}

// An aggregate device on `outputUID` carrying one tap of `processes`, with an IO procedure that
// writes the first tap channel times `gain` to every output channel.
struct TapRig {
    AudioObjectID tap = 0;
    AudioObjectID aggregate = 0;
    AudioDeviceIOProcID proc = 0;
    std::vector<std::uint32_t> lastInputChannels;
};

TapRig buildRig(SimHal& hal, std::vector<AudioObjectID> processes, const std::string& outputUID,
                CATapMuteBehavior mute, float gain) {
    TapRig rig;
    auto description = TapDescription::stereoMixdownOfProcesses(std::move(processes));
    description.uuid = "TAP-" + outputUID;
    description.muteBehavior = mute;
    EXPECT_EQ(hal.createProcessTap(description, &rig.tap), 0);
    AggregateDeviceDescription aggregate;
    aggregate.uid = "agg-" + outputUID;
    aggregate.mainSubDevice = outputUID;
    aggregate.subDevices = {{outputUID}};
    aggregate.taps = {{description.uuid, true}};
    EXPECT_EQ(hal.createAggregateDevice(aggregate, &rig.aggregate), 0);
    auto* channels = &rig.lastInputChannels;
    EXPECT_EQ(hal.createIOProcID(
                  rig.aggregate,
                  [gain, channels](const AudioBufferList* in, const AudioBufferList* out) {
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

TEST_F(SimHalTest, TapsMuteAtTheSourceOnlyWhileReadAndFeedTheAggregate) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    const auto app = hal.addProcess(processSetup(100, Signal::square(0.5f)));
    auto rig = buildRig(hal, {app}, "speakers", CATapMuteBehavior::mutedWhenTapped, 0.25f);
    EXPECT_EQ(read<Transport>(rig.aggregate, global(kAudioDevicePropertyTransportType)),
              Transport::aggregate);

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
}

TEST_F(SimHalTest, UnmutedTapLetsTheAppPlayBesideTheProcessedSignal) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    const auto app = hal.addProcess(processSetup(100, Signal::square(0.5f)));
    auto rig = buildRig(hal, {app}, "speakers", CATapMuteBehavior::unmuted, 0.25f);
    hal.deviceStart(rig.aggregate, rig.proc);
    hal.advance(512);
    EXPECT_FALSE(hal.isMutedAtSource(app));
    EXPECT_FLOAT_EQ(hal.peak(speakers), 0.625f);
}

TEST_F(SimHalTest, InputListCarriesSubDeviceInputsThenTapAndHonoursStreamUsage) {
    hal.addDevice(deviceSetup("headset", "Headset", Transport::bluetooth, {2}, {1}));
    const auto app = hal.addProcess(processSetup(100, Signal::square(0.5f)));
    auto rig = buildRig(hal, {app}, "headset", CATapMuteBehavior::mutedWhenTapped, 1.0f);
    hal.deviceStart(rig.aggregate, rig.proc);
    hal.advance(512);
    EXPECT_EQ(rig.lastInputChannels, (std::vector<std::uint32_t>{1, 2}));

    std::uint32_t size = 0;
    const AudioObjectPropertyAddress usage{kAudioDevicePropertyIOProcStreamUsage,
                                           kAudioObjectPropertyScopeInput, 0};
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
    auto rig = buildRig(hal, {app}, "speakers", CATapMuteBehavior::unmuted, 1.0f);
    AudioStreamBasicDescription format =
        read<AudioStreamBasicDescription>(rig.tap, global(kAudioTapPropertyFormat));
    EXPECT_TRUE(format.mFormatFlags & kAudioFormatFlagIsNonInterleaved);
    EXPECT_EQ(format.mChannelsPerFrame, 2u);
    hal.deviceStart(rig.aggregate, rig.proc);
    hal.advance(512);
    EXPECT_EQ(rig.lastInputChannels, (std::vector<std::uint32_t>{1, 1}));
}

TEST_F(SimHalTest, FaultsHitTheChosenCallsAndCountersTrackLiveObjects) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    const auto app = hal.addProcess(processSetup(100, Signal::sine(0.5f)));
    hal.injectFault(fault(SimHal::Operation::createProcessTap, -50, std::nullopt, std::nullopt, 1));
    AudioObjectID tap = 0;
    auto description = TapDescription::stereoMixdownOfProcesses({app});
    EXPECT_EQ(hal.createProcessTap(description, &tap), -50);
    EXPECT_EQ(hal.liveTaps(), 0u);
    EXPECT_EQ(hal.createProcessTap(description, &tap), 0); // the fault was used up
    // A tap of a process that does not exist is refused.
    AudioObjectID other = 0;
    EXPECT_EQ(hal.createProcessTap(TapDescription::stereoMixdownOfProcesses({4242}), &other),
              kAudioHardwareBadObjectError);

    hal.injectFault(fault(SimHal::Operation::getPropertyData, kAudioHardwareUnspecifiedError,
                          speakers, kAudioDevicePropertyDeviceUID));
    std::optional<std::string> uid;
    EXPECT_NE(hal.getPropertyString(speakers, global(kAudioDevicePropertyDeviceUID), &uid), 0);
    EXPECT_EQ(readString(speakers, kAudioObjectPropertyName), "Speakers"); // other selector
    hal.injectFault(fault(SimHal::Operation::hasProperty, -1, speakers));
    EXPECT_FALSE(
        hal.hasProperty(speakers, output(kAudioHardwareServiceDeviceProperty_VirtualMainVolume)));
    hal.clearFaults();
    EXPECT_EQ(readString(speakers, kAudioDevicePropertyDeviceUID), "speakers");

    AggregateDeviceDescription aggregate;
    aggregate.uid = "agg";
    aggregate.mainSubDevice = "speakers";
    AudioObjectID device = 0;
    ASSERT_EQ(hal.createAggregateDevice(aggregate, &device), 0);
    EXPECT_EQ(hal.createAggregateDevice(aggregate, &other), kAudioHardwareIllegalOperationError);
    AudioDeviceIOProcID proc = 0;
    ASSERT_EQ(hal.createIOProcID(
                  device, [](const AudioBufferList*, const AudioBufferList*) {}, &proc),
              0);
    hal.deviceStart(device, proc);
    EXPECT_EQ(hal.liveAggregateDevices(), 1u);
    EXPECT_EQ(hal.liveIOProcs(), 1u);
    EXPECT_EQ(hal.runningIOProcs(), 1u);
    // Destroying the aggregate device takes its IO procedures along.
    EXPECT_EQ(hal.destroyAggregateDevice(device), 0);
    EXPECT_EQ(hal.liveIOProcs(), 0u);
    EXPECT_EQ(hal.destroyAggregateDevice(device), kAudioHardwareBadDeviceError);
    EXPECT_EQ(hal.destroyProcessTap(tap), 0);
    EXPECT_EQ(hal.liveTaps(), 0u);
    EXPECT_EQ(hal.calls(SimHal::Operation::createProcessTap), 3u);
}

TEST_F(SimHalTest, SoundsPlayOnTheDefaultOutputAndGlobalTapsHearThem) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    AudioObjectID tap = 0;
    auto description = TapDescription::stereoGlobalTapButExcludeProcesses({});
    description.uuid = "GLOBAL";
    ASSERT_EQ(hal.createProcessTap(description, &tap), 0);
    AudioObjectID aggregate = 0;
    AggregateDeviceDescription agg;
    agg.uid = "agg";
    agg.mainSubDevice = "speakers";
    agg.subDevices = {{"speakers"}};
    agg.taps = {{"GLOBAL", true}};
    ASSERT_EQ(hal.createAggregateDevice(agg, &aggregate), 0);
    float heard = 0;
    AudioDeviceIOProcID proc = 0;
    hal.createIOProcID(
        aggregate,
        [&heard](const AudioBufferList* in, const AudioBufferList*) {
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
    hal.destroyAggregateDevice(aggregate);
    hal.destroyProcessTap(tap);
}

TEST_F(SimHalTest, AdvanceAllocatesNothingOnceObjectsExist) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    const auto app = hal.addProcess(processSetup(100, Signal::sine(0.5f)));
    auto rig = buildRig(hal, {app}, "speakers", CATapMuteBehavior::mutedWhenTapped, 0.5f);
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

} // namespace
} // namespace voxlane

namespace voxlane {
namespace {

TEST_F(SimHalTest, GoneObjectsKeepTheirRegistrationsUntilRemoved) {
    const auto speakers = hal.addDevice(test::deviceSetup("speakers", "Speakers"));
    const auto app = hal.addProcess(test::processSetup(100, Signal::sine(0.5f)));
    int listChanges = 0;
    hal.addPropertyListener(kAudioObjectSystemObject,
                            global(kAudioHardwarePropertyProcessObjectList), counter(listChanges));
    int running = 0;
    auto block = counter(running);
    const auto address = global(kAudioProcessPropertyIsRunningOutput);
    ASSERT_EQ(hal.addPropertyListener(app, address, block), 0);
    scheduler.runPending();

    hal.removeProcess(app);
    scheduler.runPending();
    EXPECT_EQ(listChanges, 1);
    EXPECT_TRUE(readList(kAudioObjectSystemObject, global(kAudioHardwarePropertyProcessObjectList))
                    .empty());
    // The listener on the vanished process is still counted: only its owner can remove it.
    EXPECT_EQ(hal.liveListeners(), 2u);
    EXPECT_EQ(hal.removePropertyListener(app, address, block), 0);
    EXPECT_EQ(hal.liveListeners(), 1u);

    // An aggregate device whose sub-device disconnects plays nowhere and keeps running.
    const auto other = hal.addProcess(test::processSetup(101, Signal::square(0.5f)));
    auto rig = buildRig(hal, {other}, "speakers", CATapMuteBehavior::mutedWhenTapped, 1.0f);
    hal.deviceStart(rig.aggregate, rig.proc);
    hal.removeDevice(speakers);
    hal.advance(512);
    EXPECT_EQ(hal.runningIOProcs(), 1u);
    EXPECT_EQ(rig.lastInputChannels, (std::vector<std::uint32_t>{2})); // only the tap is left
    EXPECT_EQ(hal.defaultDevice(kAudioHardwarePropertyDefaultOutputDevice), kAudioObjectUnknown);
}

} // namespace
} // namespace voxlane
