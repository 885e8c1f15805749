// SPDX-License-Identifier: GPL-3.0-or-later
// What every audio server behind the Hal does alike: the simulated one (SimHalContract.cpp)
// and PipeWire on a private session (integration/PipeWireHalContract.cpp) run these same cases.
#include "contract/HalContract.h"

#include "audio/AudioDevices.h"
#include "audio/CA.h"
#include "support/HalAccess.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace voxlane::test {
namespace {

const auto devicesAddress = global(kAudioHardwarePropertyDevices);
const auto processesAddress = global(kAudioHardwarePropertyProcessObjectList);
const auto defaultOutput = global(kAudioHardwarePropertyDefaultOutputDevice);
const auto defaultInput = global(kAudioHardwarePropertyDefaultInputDevice);
const auto alertOutput = global(kAudioHardwarePropertyDefaultSystemOutputDevice);
const auto mainVolume = output(kAudioHardwareServiceDeviceProperty_VirtualMainVolume);

TEST_P(HalContract, DevicesHaveUidsNamesStreamsControlsAndDefaults) {
    const auto speakers = deviceWithUid(hal(), "speakers");
    const auto headphones = deviceWithUid(hal(), "headphones");
    const auto mic = deviceWithUid(hal(), "mic");
    ASSERT_NE(speakers, kAudioObjectUnknown);
    ASSERT_NE(headphones, kAudioObjectUnknown);
    ASSERT_NE(mic, kAudioObjectUnknown);

    // Nothing else is a device (no drivers, no monitors), and the typed listing agrees.
    const auto devices = AudioDevices::all(hal());
    ASSERT_EQ(devices.size(), 3u);
    for (const auto& device : devices) {
        const bool isMic = device.id == mic;
        EXPECT_EQ(device.hasOutput, !isMic) << device.uid;
        EXPECT_EQ(device.hasInput, isMic) << device.uid;
        EXPECT_EQ(device.transport, Transport::software) << device.uid;
    }
    EXPECT_EQ(AudioDevices::device(hal(), speakers)->name, "Speakers");
    EXPECT_EQ(AudioDevices::device(hal(), headphones)->name, "Headphones");
    EXPECT_EQ(AudioDevices::device(hal(), mic)->name, "Microphone");
    EXPECT_EQ(AudioDevices::id(hal(), "headphones"), headphones);
    EXPECT_EQ(CA::value<double>(hal(), mic, global(kAudioDevicePropertyNominalSampleRate)),
              48000.0);
    EXPECT_EQ(CA::array(hal(), speakers, output(kAudioDevicePropertyStreams)).size(), 1u);
    EXPECT_TRUE(CA::array(hal(), speakers, input(kAudioDevicePropertyStreams)).empty());
    EXPECT_EQ(CA::array(hal(), mic, input(kAudioDevicePropertyStreams)).size(), 1u);
    EXPECT_TRUE(CA::array(hal(), mic, output(kAudioDevicePropertyStreams)).empty());

    // Output controls on the outputs (main volume, one volume per channel, mute), input
    // controls on the input.
    EXPECT_TRUE(settable(hal(), speakers, mainVolume));
    EXPECT_TRUE(settable(hal(), speakers, output(kAudioDevicePropertyVolumeScalar, 1)));
    EXPECT_TRUE(settable(hal(), speakers, output(kAudioDevicePropertyVolumeScalar, 2)));
    EXPECT_FALSE(hal().hasProperty(speakers, output(kAudioDevicePropertyVolumeScalar, 3)));
    EXPECT_TRUE(settable(hal(), speakers, output(kAudioDevicePropertyMute)));
    EXPECT_FALSE(hal().hasProperty(speakers, input(kAudioDevicePropertyMute)));
    EXPECT_TRUE(settable(hal(), mic, input(kAudioDevicePropertyMute)));
    EXPECT_TRUE(settable(hal(), mic, input(kAudioDevicePropertyVolumeScalar)));
    EXPECT_FALSE(hal().hasProperty(mic, mainVolume));
    EXPECT_EQ(AudioDevices::volume(hal(), speakers), 1.0f);

    // The alert output follows the output until one is chosen.
    EXPECT_EQ(CA::value<AudioObjectID>(hal(), kAudioObjectSystemObject, defaultOutput), speakers);
    EXPECT_EQ(CA::value<AudioObjectID>(hal(), kAudioObjectSystemObject, alertOutput), speakers);
    EXPECT_EQ(CA::value<AudioObjectID>(hal(), kAudioObjectSystemObject, defaultInput), mic);
    // Only a device of that direction can be a default.
    EXPECT_EQ(write(hal(), kAudioObjectSystemObject, defaultOutput, mic),
              kAudioHardwareBadDeviceError);
    EXPECT_EQ(write(hal(), kAudioObjectSystemObject, defaultInput, speakers),
              kAudioHardwareBadDeviceError);
}

TEST_P(HalContract, DevicesComingAndGoingNotifyAndGoneOnesAnswerNothing) {
    int fired = 0;
    const auto listener = counter(fired);
    ASSERT_EQ(hal().addPropertyListener(kAudioObjectSystemObject, devicesAddress, listener), 0);
    world->plug("plugged", "Plugged In");
    ASSERT_TRUE(world->waitUntil([&] { return deviceWithUid(hal(), "plugged") != 0; }));
    const auto plugged = deviceWithUid(hal(), "plugged");
    EXPECT_EQ(CA::string(hal(), plugged, global(kAudioObjectPropertyName)), "Plugged In");
    EXPECT_TRUE(world->waitUntil([&] { return fired >= 1; }));

    const int before = fired;
    world->unplug("plugged");
    ASSERT_TRUE(world->waitUntil([&] { return deviceWithUid(hal(), "plugged") == 0; }));
    EXPECT_TRUE(world->waitUntil([&] { return fired > before; }));
    EXPECT_FALSE(hal().hasProperty(plugged, global(kAudioDevicePropertyDeviceUID)));
    EXPECT_FALSE(hal().hasProperty(plugged, global(kAudioObjectPropertyName)));
    EXPECT_EQ(hal().removePropertyListener(kAudioObjectSystemObject, devicesAddress, listener), 0);
}

TEST_P(HalContract, PlayersAndRecordersAreProcessesWithTheirPidsAndRunningFlags) {
    int listFired = 0;
    const auto listListener = counter(listFired);
    ASSERT_EQ(hal().addPropertyListener(kAudioObjectSystemObject, processesAddress, listListener),
              0);
    const auto running = [&](std::int32_t pid, AudioObjectPropertySelector selector) {
        const auto process = processWithPid(hal(), pid);
        return process && CA::value<std::uint32_t>(hal(), process, global(selector)) == 1u;
    };
    auto player = world->play("speakers");
    auto recorder = world->record("mic");
    ASSERT_TRUE(world->waitUntil([&] {
        return running(player->pid(), kAudioProcessPropertyIsRunningOutput) &&
               running(recorder->pid(), kAudioProcessPropertyIsRunningInput);
    }));
    EXPECT_GE(listFired, 1);
    const auto played = processWithPid(hal(), player->pid());
    const auto recording = processWithPid(hal(), recorder->pid());
    EXPECT_FALSE(running(player->pid(), kAudioProcessPropertyIsRunningInput));
    EXPECT_FALSE(running(recorder->pid(), kAudioProcessPropertyIsRunningOutput));
    EXPECT_EQ(CA::value<std::int32_t>(hal(), played, global(kAudioProcessPropertyPID)),
              player->pid());
    const auto processes = CA::array(hal(), kAudioObjectSystemObject, processesAddress);
    EXPECT_NE(std::find(processes.begin(), processes.end(), recording), processes.end());

    // A client that ends leaves the list, firing its listener; the others keep their ids.
    const int before = listFired;
    const auto playerPid = player->pid();
    player->stop();
    ASSERT_TRUE(world->waitUntil([&] { return processWithPid(hal(), playerPid) == 0; }));
    EXPECT_TRUE(world->waitUntil([&] { return listFired > before; }));
    EXPECT_FALSE(hal().hasProperty(played, global(kAudioProcessPropertyPID)));
    EXPECT_EQ(processWithPid(hal(), recorder->pid()), recording);
    hal().removePropertyListener(kAudioObjectSystemObject, processesAddress, listListener);
}

TEST_P(HalContract, WrittenDefaultsReadBackAndNotify) {
    const auto speakers = deviceWithUid(hal(), "speakers");
    const auto headphones = deviceWithUid(hal(), "headphones");
    int fired = 0;
    const auto listener = counter(fired);
    ASSERT_EQ(hal().addPropertyListener(kAudioObjectSystemObject, defaultOutput, listener), 0);
    const auto current = [&](const AudioObjectPropertyAddress& which) {
        return CA::value<AudioObjectID>(hal(), kAudioObjectSystemObject, which);
    };
    ASSERT_EQ(write(hal(), kAudioObjectSystemObject, defaultOutput, headphones), 0);
    ASSERT_TRUE(world->waitUntil([&] { return current(defaultOutput) == headphones; }));
    EXPECT_TRUE(world->waitUntil([&] { return fired >= 1; }));

    // A chosen alert output stays where it is put when the output moves.
    ASSERT_EQ(write(hal(), kAudioObjectSystemObject, alertOutput, headphones), 0);
    ASSERT_EQ(write(hal(), kAudioObjectSystemObject, defaultOutput, speakers), 0);
    ASSERT_TRUE(world->waitUntil([&] { return current(defaultOutput) == speakers; }));
    EXPECT_TRUE(world->waitUntil([&] { return current(alertOutput) == headphones; }));
    ASSERT_EQ(write(hal(), kAudioObjectSystemObject, alertOutput, speakers), 0);
    EXPECT_TRUE(world->waitUntil([&] { return current(alertOutput) == speakers; }));
    hal().removePropertyListener(kAudioObjectSystemObject, defaultOutput, listener);
}

TEST_P(HalContract, VolumeAndMuteWritesReadBackAndNotify) {
    const auto headphones = deviceWithUid(hal(), "headphones");
    const auto mic = deviceWithUid(hal(), "mic");
    int volumeFired = 0, muteFired = 0;
    const auto volumeListener = counter(volumeFired);
    const auto muteListener = counter(muteFired);
    const auto channel1 = output(kAudioDevicePropertyVolumeScalar, 1);
    const auto mute = output(kAudioDevicePropertyMute);
    ASSERT_EQ(hal().addPropertyListener(headphones, channel1, volumeListener), 0);
    ASSERT_EQ(hal().addPropertyListener(headphones, mute, muteListener), 0);
    const auto near = [&](AudioObjectID device, const AudioObjectPropertyAddress& a, float v) {
        const auto current = CA::value<float>(hal(), device, a);
        return current && std::fabs(*current - v) < 1e-4f;
    };

    // The main volume moves every channel's volume.
    ASSERT_EQ(write(hal(), headphones, mainVolume, 0.5f), 0);
    ASSERT_TRUE(world->waitUntil([&] { return near(headphones, mainVolume, 0.5f); }));
    EXPECT_TRUE(near(headphones, output(kAudioDevicePropertyVolumeScalar, 2), 0.5f));
    EXPECT_TRUE(world->waitUntil([&] { return volumeFired >= 1; }));

    ASSERT_EQ(write(hal(), headphones, mute, std::uint32_t(1)), 0);
    ASSERT_TRUE(world->waitUntil(
        [&] { return CA::value<std::uint32_t>(hal(), headphones, mute) == 1u && muteFired; }));
    EXPECT_EQ(muteFired, 1);
    ASSERT_EQ(write(hal(), headphones, mute, std::uint32_t(0)), 0);
    ASSERT_TRUE(world->waitUntil([&] { return muteFired == 2; }));
    EXPECT_EQ(CA::value<std::uint32_t>(hal(), headphones, mute), 0u);

    ASSERT_EQ(write(hal(), mic, input(kAudioDevicePropertyMute), std::uint32_t(1)), 0);
    ASSERT_EQ(write(hal(), mic, input(kAudioDevicePropertyVolumeScalar), 0.25f), 0);
    EXPECT_TRUE(world->waitUntil([&] {
        return CA::value<std::uint32_t>(hal(), mic, input(kAudioDevicePropertyMute)) == 1u &&
               near(mic, input(kAudioDevicePropertyVolumeScalar), 0.25f);
    }));

    // Back to how the session started, for the cases after this one.
    write(hal(), headphones, mainVolume, 1.0f);
    write(hal(), mic, input(kAudioDevicePropertyMute), std::uint32_t(0));
    write(hal(), mic, input(kAudioDevicePropertyVolumeScalar), 1.0f);
    EXPECT_TRUE(world->waitUntil([&] {
        return near(headphones, mainVolume, 1.0f) &&
               near(mic, input(kAudioDevicePropertyVolumeScalar), 1.0f) &&
               CA::value<std::uint32_t>(hal(), mic, input(kAudioDevicePropertyMute)) == 0u;
    }));
    hal().removePropertyListener(headphones, channel1, volumeListener);
    hal().removePropertyListener(headphones, mute, muteListener);
}

TEST_P(HalContract, OnlyTheRegisteredBlockRemovesAListenerAndARemovedOneHearsNothing) {
    const auto speakers = deviceWithUid(hal(), "speakers");
    const auto mute = output(kAudioDevicePropertyMute);
    int fired = 0;
    const auto block = counter(fired);
    ASSERT_EQ(hal().addPropertyListener(speakers, mute, block), 0);
    // An equal function in another block object is not the registered listener.
    EXPECT_NE(hal().removePropertyListener(speakers, mute, counter(fired)), 0);
    EXPECT_EQ(hal().addPropertyListener(kAudioObjectUnknown + 987654, mute, block),
              kAudioHardwareBadObjectError);

    // A change under way when the listener goes is not delivered to it.
    ASSERT_EQ(write(hal(), speakers, mute, std::uint32_t(1)), 0);
    EXPECT_EQ(hal().removePropertyListener(speakers, mute, block), 0);
    EXPECT_NE(hal().removePropertyListener(speakers, mute, block), 0);
    ASSERT_TRUE(
        world->waitUntil([&] { return CA::value<std::uint32_t>(hal(), speakers, mute) == 1u; }));
    write(hal(), speakers, mute, std::uint32_t(0));
    ASSERT_TRUE(
        world->waitUntil([&] { return CA::value<std::uint32_t>(hal(), speakers, mute) == 0u; }));
    EXPECT_EQ(fired, 0);
}

TEST_P(HalContract, ATapOnAnAggregateFeedsItsIOBlockUntilTakenDown) {
    auto player = world->play("speakers");
    ASSERT_TRUE(world->waitUntil([&] { return processWithPid(hal(), player->pid()) != 0; }));
    const auto process = processWithPid(hal(), player->pid());

    // A tap of something that is no process is refused.
    AudioObjectID tap = 99;
    EXPECT_EQ(
        hal().createProcessTap(
            TapDescription::mixdownOf({deviceWithUid(hal(), "speakers")}), &tap),
        kAudioHardwareBadObjectError);
    auto description = TapDescription::mixdownOf({process});
    description.uuid = "CONTRACT-TAP";
    description.muteBehavior = TapMute::mutedWhenTapped;
    ASSERT_EQ(hal().createProcessTap(description, &tap), 0);
    const auto format =
        CA::value<AudioStreamBasicDescription>(hal(), tap, global(kAudioTapPropertyFormat));
    ASSERT_TRUE(format);
    EXPECT_EQ(format->mChannelsPerFrame, 2u);
    EXPECT_EQ(format->mSampleRate, 48000.0);

    AggregateDescription aggregate;
    aggregate.uid = "contract-aggregate";
    aggregate.name = "Contract";
    aggregate.mainSubDevice = "speakers";
    aggregate.subDevices = {{"speakers"}};
    aggregate.taps = {{description.uuid, true}};
    AudioObjectID device = 0, twin = 0;
    ASSERT_EQ(hal().createAggregateDevice(aggregate, &device), 0);
    EXPECT_EQ(hal().createAggregateDevice(aggregate, &twin), kAudioHardwareIllegalOperationError);
    EXPECT_EQ(CA::value<Transport>(hal(), device, global(kAudioDevicePropertyTransportType)),
              Transport::aggregate);

    // The IO block hears the tapped app in the last input buffer.
    std::atomic<float> heard{0};
    std::atomic<int> cycles{0};
    AudioDeviceIOProcID proc = 0;
    ASSERT_EQ(hal().createIOProcID(
                  device,
                  [&](const BufferList* in, const BufferList*) {
                      ++cycles;
                      if (in->numberBuffers == 0) return;
                      const AudioBuffer& b = in->buffers[in->numberBuffers - 1];
                      if (!b.data) return;
                      float peak = heard.load();
                      for (std::uint32_t i = 0; i < b.dataByteSize / 4; ++i)
                          peak = std::max(peak, std::abs(static_cast<const float*>(b.data)[i]));
                      heard.store(peak);
                  },
                  &proc),
              0);
    EXPECT_EQ(cycles.load(), 0); // not before it is started
    ASSERT_EQ(hal().deviceStart(device, proc), 0);
    EXPECT_TRUE(world->waitUntil([&] { return heard.load() > 0.4f; })) << heard.load();
    ASSERT_EQ(hal().deviceStop(device, proc), 0);
    EXPECT_EQ(hal().deviceStart(device, proc + 1000), kAudioHardwareIllegalOperationError);

    // Destroying the aggregate device takes its IO procedure along; the tap is destroyed once.
    EXPECT_EQ(hal().destroyAggregateDevice(device), 0);
    EXPECT_EQ(hal().destroyIOProcID(device, proc), kAudioHardwareBadDeviceError);
    EXPECT_EQ(hal().destroyAggregateDevice(device), kAudioHardwareBadDeviceError);
    EXPECT_EQ(hal().destroyProcessTap(tap), 0);
    EXPECT_EQ(hal().destroyProcessTap(tap), kAudioHardwareBadObjectError);
}

} // namespace
} // namespace voxlane::test
