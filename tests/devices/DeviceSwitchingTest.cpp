// SPDX-License-Identifier: GPL-3.0-or-later
// Automatic switching of the default devices by the engine, on the simulated server.
#include "platform/Log.h"
#include "support/EngineRig.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::deviceSetup;

constexpr auto output = Role::output;
constexpr auto alert = Role::alerts;
constexpr auto input = Role::input;

class DeviceSwitchingTest : public ::testing::Test {
protected:
    test::EngineRig rig;
    Log::Capture log;
    ObjectId speakers = rig.sim.addDevice(deviceSetup("speakers", "Speakers"));
    ObjectId mic = rig.sim.addDevice(deviceSetup("mic", "Microphone", Transport::builtIn, {}, {1}));
    ObjectId addOutput(const std::string& uid, Transport transport = Transport::usb) {
        return rig.sim.addDevice(deviceSetup(uid, uid, transport, {2}, {}));
    }
    // Started, with headphones ranked above everything learned, past the start's window.
    void startRankingHeadphones() {
        rig.start();
        DeviceRules rules = rig.engine->deviceRules();
        rules.outputsRanked = true;
        rules.outputs.insert(rules.outputs.begin(),
                             DeviceRule{"headphones", "headphones", Transport::usb, false});
        rig.engine->setDeviceRules(rules);
        rig.scheduler.advance(10);
    }
};

// The ranked headphones arriving are selected, with the alert device, and learned at once. The
// system switching back on its own within the window after the change is put right; the user's
// choice after the window stays, through any refresh.
TEST_F(DeviceSwitchingTest, RankedHeadphonesPluggedInAreSelectedAndALateSystemSwitchUndone) {
    startRankingHeadphones();
    const ObjectId headphones = addOutput("headphones");
    EXPECT_EQ(rig.defaultDevice(output), speakers); // the system left the output alone
    rig.settle();
    EXPECT_EQ(std::pair(rig.defaultDevice(output), rig.defaultDevice(alert)),
              std::pair(headphones, headphones));
    EXPECT_EQ(rig.engine->defaultOutput()->uid, "headphones");
    const auto stored = DeviceRules::load(*rig.store);
    ASSERT_EQ(stored.outputs.size(), 2u);
    EXPECT_EQ(stored.outputs[0].uid, "headphones");
    rig.scheduler.advance(1.3);
    rig.setDefault(output, speakers);
    rig.settle();
    EXPECT_EQ(rig.defaultDevice(output), headphones);
    rig.scheduler.advance(3.0);
    rig.setDefault(output, speakers);
    rig.settle();
    rig.scheduler.advance(30);
    EXPECT_EQ(rig.defaultDevice(output), speakers);
    EXPECT_EQ(rig.engine->defaultOutput()->uid, "speakers");
}

TEST_F(DeviceSwitchingTest, ForbiddenDeviceTheSystemChoseIsReplacedByTheBuiltInOne) {
    rig.start();
    DeviceRules rules = rig.engine->deviceRules();
    rules.outputs.push_back({"tv", "TV", Transport::network, true});
    rig.engine->setDeviceRules(rules);
    rig.scheduler.advance(10);
    const ObjectId tv = addOutput("tv", Transport::network);
    rig.setDefault(output, tv);
    rig.settle();
    EXPECT_EQ(std::pair(rig.defaultDevice(output), rig.defaultDevice(alert)),
              std::pair(speakers, speakers));
    // The rule stored before the device was ever seen keeps its flag when it is learned.
    EXPECT_TRUE(rig.engine->deviceRules().outputs.back().never);
}

TEST_F(DeviceSwitchingTest, LateRefreshesRetryAWriteThatFailed) {
    startRankingHeadphones();
    // The first two attempts (each writing the output and the alert device) are refused;
    // nothing else fires a refresh.
    rig.probes.injectFault(
        test::fault(ServerCore::Operation::setDefaultDevice, ServerError::failed, std::nullopt, 4));
    const ObjectId headphones = addOutput("headphones");
    rig.settle();
    EXPECT_EQ(rig.defaultDevice(output), speakers);
    const auto refreshes = rig.engine->refreshCount();
    // The refreshes 1.0 s (and its debounce) and 2.5 s after the change, then only the one the
    // switch itself caused.
    for (auto [wait, count, device] :
         {std::tuple{1.1, 1u, speakers}, {1.5, 2u, headphones}, {10.0, 3u, headphones}}) {
        rig.scheduler.advance(wait);
        EXPECT_EQ(rig.engine->refreshCount(), refreshes + count) << wait;
        EXPECT_EQ(rig.defaultDevice(output), device) << wait;
    }
}

TEST_F(DeviceSwitchingTest, NothingIsSwitchedAtLaunchOrAfterTheLastDeviceWentAway) {
    const ObjectId headphones = addOutput("headphones");
    DeviceRules rules;
    rules.outputsRanked = true;
    rules.outputs = {{"headphones", "headphones", Transport::usb, false}};
    rules.save(*rig.store);
    rig.start();
    rig.settle();
    EXPECT_EQ(rig.defaultDevice(output), speakers);
    // Every device leaves; one comes back: the known set was empty, so no window opens.
    rig.sim.removeDevice(headphones);
    rig.sim.removeDevice(speakers);
    rig.sim.removeDevice(mic);
    rig.scheduler.advance(5);
    const ObjectId other = addOutput("hdmi", Transport::hdmi);
    addOutput("headphones");
    rig.settle();
    EXPECT_EQ(rig.defaultDevice(output), other);
}

// Outside any window: the system makes a Bluetooth headset both output and input. The unranked
// output stays, the input moves to the built-in microphone, the alert device follows the output
// while that option is on.
TEST_F(DeviceSwitchingTest, BluetoothHeadsetMovesTheInputAndAlertsFollowTheOutputIfAsked) {
    rig.start();
    rig.scheduler.advance(10);
    const ObjectId airpods =
        rig.sim.addDevice(deviceSetup("airpods", "AirPods", Transport::bluetooth, {2}, {1}));
    rig.setDefault(output, airpods);
    rig.setDefault(input, airpods);
    rig.settle();
    EXPECT_EQ(
        std::tuple(rig.defaultDevice(output), rig.defaultDevice(input), rig.defaultDevice(alert)),
        std::tuple(airpods, mic, airpods));
    DeviceRules rules = rig.engine->deviceRules();
    rules.alertsFollowOutput = false;
    rig.engine->setDeviceRules(rules);
    rig.setDefault(output, speakers);
    rig.settle();
    EXPECT_EQ(rig.defaultDevice(alert), airpods);
}

} // namespace
} // namespace voxlane
