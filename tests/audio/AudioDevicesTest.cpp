// SPDX-License-Identifier: GPL-3.0-or-later
// Which devices the listing leaves out and how it degrades; the listing of ordinary devices is
// part of the server contract (contract/ServerContractTest.cpp).
#include "audio/AudioDevices.h"

#include "platform/AppIdentifier.h"
#include "support/SimRig.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::deviceSetup;

class AudioDevicesTest : public ::testing::Test, protected test::SimRig {};

TEST_F(AudioDevicesTest, AggregatesOursAndUnreadableDevicesAreLeftOutOrDegrade) {
    const auto speakers = sim.addDevice(deviceSetup("speakers", "Speakers"));
    const auto bare = sim.addDevice(deviceSetup("bare", "Bare", Transport::usb, {}, {}));
    // Someone else's aggregate device, and a device that looks like ours.
    AggregateDescription other;
    other.uid = "other-aggregate";
    other.mainSubDevice = "speakers";
    const ServerHandle aggregate = sim.createAggregate(other);
    ASSERT_TRUE(aggregate);
    sim.addDevice(deviceSetup(std::string(AppIdentifier) + ".loopback", "Ours"));
    // One that cannot be read, one without a name, transport or volume.
    const auto hidden = sim.addDevice(deviceSetup("hidden", "Hidden"));
    auto fixed = deviceSetup("nameless", "", Transport::unknown);
    fixed.output.hasVolume = false;
    const auto nameless = sim.addDevice(fixed);
    probes.injectFault(test::fault(ServerCore::Operation::device, ServerError::failed, hidden));
    const auto devices = AudioDevices::all(sim);
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].id, speakers);
    EXPECT_EQ(devices[1].id, bare);
    EXPECT_FALSE(devices[1].hasOutput || devices[1].hasInput);
    EXPECT_EQ(std::tuple(devices[2].id, devices[2].name, devices[2].transport),
              std::tuple(nameless, "Unknown device", Transport::unknown));
    EXPECT_EQ(AudioDevices::device(sim, hidden), std::nullopt);
    EXPECT_EQ(AudioDevices::id(sim, "other-aggregate"), std::nullopt);
    EXPECT_EQ(AudioDevices::device(sim, aggregate.object())->transport, Transport::aggregate);
    EXPECT_EQ(AudioDevices::volume(sim, nameless), std::nullopt);
}

} // namespace
} // namespace voxlane
