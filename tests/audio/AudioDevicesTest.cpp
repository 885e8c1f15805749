// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioDevices.h"

#include "platform/AppIdentifier.h"
#include "platform/ManualScheduler.h"
#include "platform/hal/SimHal.h"
#include "support/SimObjects.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::deviceSetup;

class AudioDevicesTest : public ::testing::Test {
protected:
    ManualScheduler scheduler;
    SimHal hal{scheduler};
};

TEST_F(AudioDevicesTest, AllListsUserDevicesInOrderWithTheirFlags) {
    const auto speakers = hal.addDevice(deviceSetup("builtin-out", "MacBook Speakers"));
    const auto headset =
        hal.addDevice(deviceSetup("bt-1", "Headset", Transport::bluetooth, {2}, {1}));
    const auto mic =
        hal.addDevice(deviceSetup("builtin-in", "Microphone", Transport::builtIn, {}, {1}));
    const auto bare = hal.addDevice(deviceSetup("bare", "Bare", Transport::usb, {}, {}));
    // Someone else's aggregate device, and a device that looks like ours.
    AggregateDeviceDescription other;
    other.uid = "other-aggregate";
    other.mainSubDevice = "builtin-out";
    AudioObjectID aggregate = 0;
    ASSERT_EQ(hal.createAggregateDevice(other, &aggregate), 0);
    hal.addDevice(deviceSetup(std::string(AppIdentifier) + ".loopback", "Ours"));

    const auto devices = AudioDevices::all(hal);
    ASSERT_EQ(devices.size(), 4u);
    EXPECT_EQ(devices[0], (AudioDevice{speakers, "builtin-out", "MacBook Speakers",
                                       Transport::builtIn, true, false}));
    EXPECT_EQ(devices[1],
              (AudioDevice{headset, "bt-1", "Headset", Transport::bluetooth, true, true}));
    EXPECT_EQ(devices[2].id, mic);
    EXPECT_FALSE(devices[2].hasOutput);
    EXPECT_EQ(devices[3].id, bare);
    EXPECT_FALSE(devices[3].hasOutput || devices[3].hasInput);

    EXPECT_EQ(AudioDevices::id(hal, "bt-1"), headset);
    EXPECT_EQ(AudioDevices::id(hal, "other-aggregate"), std::nullopt); // filtered
    EXPECT_EQ(AudioDevices::device(hal, aggregate)->transport, Transport::aggregate);
    hal.destroyAggregateDevice(aggregate);
}

TEST_F(AudioDevicesTest, UnreadablePropertiesDegrade) {
    const auto hidden = hal.addDevice(deviceSetup("hidden", "Hidden"));
    const auto nameless = hal.addDevice(deviceSetup("nameless", "Nameless"));
    SimHal::Fault uid;
    uid.operation = SimHal::Operation::getPropertyData;
    uid.object = hidden;
    uid.selector = kAudioDevicePropertyDeviceUID;
    hal.injectFault(uid);
    SimHal::Fault name = uid;
    name.object = nameless;
    name.selector = kAudioObjectPropertyName;
    hal.injectFault(name);
    SimHal::Fault transport = name;
    transport.selector = kAudioDevicePropertyTransportType;
    hal.injectFault(transport);

    const auto devices = AudioDevices::all(hal);
    ASSERT_EQ(devices.size(), 1u); // no UID, no listing, though name and streams are readable
    EXPECT_EQ(devices[0].name, "Unknown device");
    EXPECT_EQ(devices[0].transport, Transport::unknown);
    EXPECT_EQ(AudioDevices::device(hal, hidden), std::nullopt);
}

TEST_F(AudioDevicesTest, VolumeOnlyWhereTheDeviceHasOne) {
    auto setup = deviceSetup("a", "A");
    setup.volume = 0.25f;
    const auto withVolume = hal.addDevice(setup);
    auto fixed = deviceSetup("b", "B");
    fixed.hasVirtualMainVolume = false;
    const auto without = hal.addDevice(fixed);
    EXPECT_EQ(AudioDevices::volume(hal, withVolume), 0.25f);
    EXPECT_EQ(AudioDevices::volume(hal, without), std::nullopt);
}

TEST(AudioDevice, SymbolNames) {
    const auto symbol = [](std::string name, Transport transport, bool out = true) {
        return AudioDevice{1, "uid", std::move(name), transport, out, !out}.symbolName();
    };
    EXPECT_EQ(symbol("Kim’s AIRPODS MAX", Transport::usb), "earbuds");
    EXPECT_EQ(symbol("AirPods", Transport::bluetooth), "earbuds");
    EXPECT_EQ(symbol("Living room", Transport::network), "network-speaker");
    EXPECT_EQ(symbol("Speakers", Transport::builtIn), "computer-laptop");
    EXPECT_EQ(symbol("Microphone", Transport::builtIn, false), "audio-input-microphone");
    EXPECT_EQ(symbol("Buds", Transport::bluetoothLE), "audio-headphones");
    EXPECT_EQ(symbol("Phone", Transport::phoneWireless), "phone");
    EXPECT_EQ(symbol("Monitor", Transport::hdmi), "video-display");
    EXPECT_EQ(symbol("Monitor", Transport::displayPort), "video-display");
    EXPECT_EQ(symbol("DAC", Transport::usb), "loudspeaker");
    EXPECT_EQ(symbol("Thing", Transport::software), "audio-speakers");
}

} // namespace
} // namespace voxlane
