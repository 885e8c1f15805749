// SPDX-License-Identifier: GPL-3.0-or-later
// Which devices the listing leaves out and how it degrades; the listing of ordinary devices is
// part of the Hal contract (contract/HalContractTest.cpp).
#include "audio/AudioDevices.h"

#include "platform/AppIdentifier.h"
#include "platform/ManualScheduler.h"
#include "platform/hal/SimHal.h"
#include "support/SimObjects.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::deviceSetup;
using test::fault;

class AudioDevicesTest : public ::testing::Test {
protected:
    ManualScheduler scheduler;
    SimHal hal{scheduler};
};

TEST_F(AudioDevicesTest, AggregatesOursAndUnreadableDevicesAreLeftOutOrDegrade) {
    const auto speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    const auto bare = hal.addDevice(deviceSetup("bare", "Bare", Transport::usb, {}, {}));
    // Someone else's aggregate device, and a device that looks like ours.
    AggregateDescription other;
    other.uid = "other-aggregate";
    other.mainSubDevice = "speakers";
    AudioObjectID aggregate = 0;
    ASSERT_EQ(hal.createAggregateDevice(other, &aggregate), 0);
    hal.addDevice(deviceSetup(std::string(AppIdentifier) + ".loopback", "Ours"));
    // One without a readable UID, one without a readable name and transport.
    const auto hidden = hal.addDevice(deviceSetup("hidden", "Hidden"));
    auto fixed = deviceSetup("nameless", "Nameless");
    fixed.hasVirtualMainVolume = false;
    const auto nameless = hal.addDevice(fixed);
    hal.injectFault(
        fault(SimHal::Operation::getPropertyData, -1, hidden, kAudioDevicePropertyDeviceUID));
    hal.injectFault(
        fault(SimHal::Operation::getPropertyData, -1, nameless, kAudioObjectPropertyName));
    hal.injectFault(
        fault(SimHal::Operation::getPropertyData, -1, nameless, kAudioDevicePropertyTransportType));

    const auto devices = AudioDevices::all(hal);
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].id, speakers);
    EXPECT_EQ(devices[1].id, bare);
    EXPECT_FALSE(devices[1].hasOutput || devices[1].hasInput);
    EXPECT_EQ(devices[2].id, nameless);
    EXPECT_EQ(devices[2].name, "Unknown device");
    EXPECT_EQ(devices[2].transport, Transport::unknown);
    EXPECT_EQ(AudioDevices::device(hal, hidden), std::nullopt);
    EXPECT_EQ(AudioDevices::id(hal, "other-aggregate"), std::nullopt);
    EXPECT_EQ(AudioDevices::device(hal, aggregate)->transport, Transport::aggregate);
    EXPECT_EQ(AudioDevices::volume(hal, nameless), std::nullopt);
}

} // namespace
} // namespace voxlane
