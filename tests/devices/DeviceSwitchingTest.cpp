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
    ObjectId speakers =
        rig.sim.addDevice(deviceSetup("speakers", "MacBook Speakers", Transport::builtIn, {2}, {}));
    ObjectId mic = rig.sim.addDevice(
        deviceSetup("mac-mic", "MacBook Microphone", Transport::builtIn, {}, {1}));

    // Rules with `first` ranked above everything learned so far.
    void rankOutputsWith(const std::string& uid, const std::string& name) {
        DeviceRules rules = rig.engine->deviceRules();
        rules.outputsRanked = true;
        rules.outputs.insert(rules.outputs.begin(), DeviceRule{uid, name, Transport::usb, false});
        rig.engine->setDeviceRules(rules);
    }
};

TEST_F(DeviceSwitchingTest, RankedHeadphonesPluggedInAreSelectedWithTheAlertDevice) {
    rig.start();
    rankOutputsWith("headphones", "Headphones");
    rig.scheduler.advance(10);

    const ObjectId headphones =
        rig.sim.addDevice(deviceSetup("headphones", "Headphones", Transport::usb, {2}, {}));
    EXPECT_EQ(rig.defaultDevice(output), speakers); // the system left the output alone
    rig.settle();

    EXPECT_EQ(rig.defaultDevice(output), headphones);
    EXPECT_EQ(rig.defaultDevice(alert), headphones);
    EXPECT_EQ(rig.engine->defaultOutput()->uid, "headphones");
    // Learned on the change and stored at once; its ranked place was kept.
    const auto stored = DeviceRules::load(*rig.store);
    ASSERT_EQ(stored.outputs.size(), 2u);
    EXPECT_EQ(stored.outputs[0].uid, "headphones");
    EXPECT_EQ(stored.outputs[0].transport, Transport::usb);
}

TEST_F(DeviceSwitchingTest, LateSystemSwitchIsUndoneWithinTheWindowButTheUsersChoiceAfterStays) {
    rig.start();
    rankOutputsWith("headphones", "Headphones");
    rig.scheduler.advance(10);
    const ObjectId headphones =
        rig.sim.addDevice(deviceSetup("headphones", "Headphones", Transport::usb, {2}, {}));
    rig.settle();
    ASSERT_EQ(rig.defaultDevice(output), headphones);

    // The system switches back on its own 1.5 s after the change: put right again.
    rig.scheduler.advance(1.3);
    rig.setDefault(output, speakers);
    rig.settle();
    EXPECT_EQ(rig.defaultDevice(output), headphones);

    // Past the window the user picks the speakers by hand: that stays, through any refresh.
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

    const ObjectId tv = rig.sim.addDevice(deviceSetup("tv", "TV", Transport::network, {2}, {}));
    rig.setDefault(output, tv);
    rig.settle();
    EXPECT_EQ(rig.defaultDevice(output), speakers);
    EXPECT_EQ(rig.defaultDevice(alert), speakers);
    // The rule stored before the device was ever seen keeps its flag when it is learned.
    EXPECT_TRUE(rig.engine->deviceRules().outputs.back().never);
}

TEST_F(DeviceSwitchingTest, LateRefreshesRetryAWriteThatFailed) {
    rig.start();
    rankOutputsWith("headphones", "Headphones");
    rig.scheduler.advance(10);
    // The first two attempts (each writing the output and the alert device) are refused;
    // nothing else fires a refresh.
    rig.probes.injectFault(
        test::fault(ServerCore::Operation::setDefaultDevice, ServerError::failed, std::nullopt, 4));
    const ObjectId headphones =
        rig.sim.addDevice(deviceSetup("headphones", "Headphones", Transport::usb, {2}, {}));
    rig.settle();
    EXPECT_EQ(rig.defaultDevice(output), speakers);
    const auto refreshes = rig.engine->refreshCount();

    rig.scheduler.advance(1.1); // the refresh 1.0 s after the change (and its debounce)
    EXPECT_EQ(rig.engine->refreshCount(), refreshes + 1);
    EXPECT_EQ(rig.defaultDevice(output), speakers);
    rig.scheduler.advance(1.5); // the one 2.5 s after
    EXPECT_EQ(rig.engine->refreshCount(), refreshes + 2);
    EXPECT_EQ(rig.defaultDevice(output), headphones);
    // Then only the refresh the switch itself caused.
    rig.scheduler.advance(10);
    EXPECT_EQ(rig.engine->refreshCount(), refreshes + 3);
    EXPECT_EQ(rig.defaultDevice(output), headphones);
}

TEST_F(DeviceSwitchingTest, NothingIsSwitchedAtLaunchOrAfterTheLastDeviceWentAway) {
    const ObjectId headphones =
        rig.sim.addDevice(deviceSetup("headphones", "Headphones", Transport::usb, {2}, {}));
    DeviceRules rules;
    rules.outputsRanked = true;
    rules.outputs = {{"headphones", "Headphones", Transport::usb, false}};
    rules.save(*rig.store);
    rig.start();
    rig.settle();
    EXPECT_EQ(rig.defaultDevice(output), speakers);

    // Every device leaves; one comes back: the known set was empty, so no window opens.
    rig.sim.removeDevice(headphones);
    rig.sim.removeDevice(speakers);
    rig.sim.removeDevice(mic);
    rig.scheduler.advance(5);
    const ObjectId other =
        rig.sim.addDevice(deviceSetup("hdmi", "Monitor", Transport::hdmi, {2}, {}));
    const ObjectId back =
        rig.sim.addDevice(deviceSetup("headphones", "Headphones", Transport::usb, {2}, {}));
    rig.settle();
    EXPECT_EQ(rig.defaultDevice(output), other);
    EXPECT_NE(other, back);
    for (const auto& message : log.messages("engine"))
        EXPECT_FALSE(message.starts_with("Ausgabe")) << message;
}

TEST_F(DeviceSwitchingTest, BluetoothHeadsetMovesTheInputToTheBuiltInMicrophone) {
    rig.start();
    rig.scheduler.advance(10);
    const ObjectId airpods =
        rig.sim.addDevice(deviceSetup("airpods", "AirPods", Transport::bluetooth, {2}, {1}));
    // The system makes the headset both output and input.
    rig.setDefault(output, airpods);
    rig.setDefault(input, airpods);
    rig.settle();

    EXPECT_EQ(rig.defaultDevice(output), airpods); // unranked outputs: the output stays
    EXPECT_EQ(rig.defaultDevice(input), mic);
    EXPECT_EQ(rig.defaultDevice(alert), airpods); // alerts follow the output
}

TEST_F(DeviceSwitchingTest, AlertDeviceFollowsTheOutputOnlyWhileTheOptionIsOn) {
    const ObjectId monitor =
        rig.sim.addDevice(deviceSetup("hdmi", "Monitor", Transport::hdmi, {2}, {}));
    rig.start();
    rig.scheduler.advance(10);

    // Outside any window, the output changes by hand: the alert device follows at the refresh.
    rig.setDefault(output, monitor);
    rig.settle();
    EXPECT_EQ(rig.defaultDevice(alert), monitor);

    DeviceRules rules = rig.engine->deviceRules();
    rules.alertsFollowOutput = false;
    rig.engine->setDeviceRules(rules);
    rig.setDefault(output, speakers);
    rig.settle();
    EXPECT_EQ(rig.defaultDevice(alert), monitor);
}

} // namespace
} // namespace voxlane
