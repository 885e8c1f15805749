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

class DeviceSwitchingTest : public ::testing::Test, protected test::EngineRig {
protected:
    Log::Capture log;
    ObjectId speakers = sim.addDevice(deviceSetup("speakers", "Speakers"));
    ObjectId mic = sim.addDevice(deviceSetup("mic", "Microphone", Transport::builtIn, {}, {1}));
    ObjectId addOutput(const std::string& uid, Transport transport = Transport::usb) {
        return sim.addDevice(deviceSetup(uid, uid, transport, {2}, {}));
    }
    // Started, with headphones ranked above everything learned, past the start's window.
    void startRankingHeadphones() {
        start();
        DeviceRules rules = engine->deviceRules();
        rules.outputsRanked = true;
        rules.outputs.insert(rules.outputs.begin(),
                             DeviceRule{"headphones", "headphones", Transport::usb, false});
        engine->setDeviceRules(rules);
        scheduler.advance(10);
    }
};

// The ranked headphones arriving are selected, with the alert device, and learned at once. The
// system switching back on its own within the window after the change is put right; the user's
// choice after the window stays, through any refresh.
TEST_F(DeviceSwitchingTest, RankedHeadphonesPluggedInAreSelectedAndALateSystemSwitchUndone) {
    startRankingHeadphones();
    const ObjectId headphones = addOutput("headphones");
    EXPECT_EQ(defaultDevice(output), speakers); // the system left the output alone
    settle();
    EXPECT_EQ(std::pair(defaultDevice(output), defaultDevice(alert)),
              std::pair(headphones, headphones));
    EXPECT_EQ(engine->defaultOutput()->uid, "headphones");
    const auto stored = DeviceRules::load(*store);
    ASSERT_EQ(stored.outputs.size(), 2u);
    EXPECT_EQ(stored.outputs[0].uid, "headphones");
    scheduler.advance(1.3);
    setDefault(output, speakers);
    settle();
    EXPECT_EQ(defaultDevice(output), headphones);
    scheduler.advance(3.0);
    setDefault(output, speakers);
    settle();
    scheduler.advance(30);
    EXPECT_EQ(defaultDevice(output), speakers);
    EXPECT_EQ(engine->defaultOutput()->uid, "speakers");
}

TEST_F(DeviceSwitchingTest, LateRefreshesRetryAWriteThatFailed) {
    startRankingHeadphones();
    // The first two attempts (each writing the output and the alert device) are refused;
    // nothing else fires a refresh.
    probes.injectFault(
        test::fault(ServerCore::Operation::setDefaultDevice, ServerError::failed, std::nullopt, 4));
    const ObjectId headphones = addOutput("headphones");
    settle();
    EXPECT_EQ(defaultDevice(output), speakers);
    const auto refreshes = engine->refreshCount();
    // The refreshes 1.0 s (and its debounce) and 2.5 s after the change, then only the one the
    // switch itself caused.
    for (auto [wait, count, device] :
         {std::tuple{1.1, 1u, speakers}, {1.5, 2u, headphones}, {10.0, 3u, headphones}}) {
        scheduler.advance(wait);
        EXPECT_EQ(engine->refreshCount(), refreshes + count) << wait;
        EXPECT_EQ(defaultDevice(output), device) << wait;
    }
}

TEST_F(DeviceSwitchingTest, NothingIsSwitchedAtLaunchOrAfterTheLastDeviceWentAway) {
    const ObjectId headphones = addOutput("headphones");
    DeviceRules rules;
    rules.outputsRanked = true;
    rules.outputs = {{"headphones", "headphones", Transport::usb, false}};
    rules.save(*store);
    start();
    settle();
    EXPECT_EQ(defaultDevice(output), speakers);
    // Every device leaves; one comes back: the known set was empty, so no window opens.
    sim.removeDevice(headphones);
    sim.removeDevice(speakers);
    sim.removeDevice(mic);
    scheduler.advance(5);
    const ObjectId other = addOutput("hdmi", Transport::hdmi);
    addOutput("headphones");
    settle();
    EXPECT_EQ(defaultDevice(output), other);
}

// Outside any window, what the system chose is put right. A forbidden device is replaced by the
// built-in one (its rule, stored before the device was ever seen, keeps its flag when learned). Of
// a Bluetooth headset made both output and input, the unranked output stays, the input moves to
// the built-in microphone, and the alert device follows the output while that option is on.
TEST_F(DeviceSwitchingTest, ForbiddenDevicesAndBluetoothMicrophonesTheSystemChoseAreReplaced) {
    start();
    DeviceRules rules = engine->deviceRules();
    rules.outputs.push_back({"tv", "TV", Transport::network, true});
    engine->setDeviceRules(rules);
    scheduler.advance(10);
    setDefault(output, addOutput("tv", Transport::network));
    settle();
    EXPECT_EQ(std::pair(defaultDevice(output), defaultDevice(alert)),
              std::pair(speakers, speakers));
    EXPECT_TRUE(engine->deviceRules().outputs.back().never);
    scheduler.advance(10);
    const ObjectId airpods =
        sim.addDevice(deviceSetup("airpods", "AirPods", Transport::bluetooth, {2}, {1}));
    setDefault(output, airpods);
    setDefault(input, airpods);
    settle();
    EXPECT_EQ(std::tuple(defaultDevice(output), defaultDevice(input), defaultDevice(alert)),
              std::tuple(airpods, mic, airpods));
    rules = engine->deviceRules();
    rules.alertsFollowOutput = false;
    engine->setDeviceRules(rules);
    setDefault(output, speakers);
    settle();
    EXPECT_EQ(defaultDevice(alert), airpods);
}

} // namespace
} // namespace voxlane
