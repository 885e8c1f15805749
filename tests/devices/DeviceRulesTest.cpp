// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/DeviceRules.h"

#include "audio/AudioDevice.h"
#include "devices/DevicePolicy.h"
#include "platform/Defaults.h"
#include "platform/Log.h"
#include "support/EngineRig.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace voxlane {
namespace {

constexpr Transport builtIn = Transport::builtIn;
constexpr Transport usb = Transport::usb;
constexpr Transport bluetooth = Transport::bluetooth;
constexpr Transport bluetoothLE = Transport::bluetoothLE;
using AD = AudioDevice;
using V = std::vector<std::string>;

std::vector<std::string> uids(const std::vector<DeviceRule>& rules) {
    std::vector<std::string> out;
    for (const auto& rule : rules)
        out.push_back(rule.uid);
    return out;
}

TEST(DeviceRulesLearn, AppendsNewDevicesAndKeepsPlacesAndFlags) {
    auto defaults = Defaults::inMemory();
    DeviceRules rules = DeviceRules::load(*defaults);
    EXPECT_EQ(rules, DeviceRules{});
    const std::vector<AudioDevice> first{AD{2, "speakers", "Speakers", builtIn, true, false},
                                         AD{3, "headset", "Headset", bluetooth, true, true},
                                         AD{4, "mic", "Microphone", builtIn, false, true}};
    rules.learn(first);
    EXPECT_EQ(uids(rules.outputs), (V{"speakers", "headset"}));
    EXPECT_EQ(uids(rules.inputs), (V{"headset", "mic"}));
    rules.outputs[1].never = true;
    std::swap(rules.outputs[0], rules.outputs[1]);
    // Renamed headset, speakers gone, a new USB device.
    rules.learn(
        std::vector<AudioDevice>{AD{9, "usb", "USB DAC", usb, true, false},
                                 AD{3, "headset", "Anna's Headset", bluetooth, true, true}});
    EXPECT_EQ(uids(rules.outputs), (V{"headset", "speakers", "usb"}));
    EXPECT_EQ(rules.outputs[0], (DeviceRule{"headset", "Anna's Headset", bluetooth, true}));
    EXPECT_EQ(rules.inputs[0].name, "Anna's Headset");
    EXPECT_FALSE(rules.inputs[0].never);
}

TEST(DeviceRulesStorage, RoundTripsWithTransportsAsWordsAndDecodesRuleByRule) {
    auto defaults = Defaults::inMemory();
    Log::Capture log;
    DeviceRules rules;
    rules.outputs = {{"a", "A", builtIn, false, true}, {"b", "B", bluetooth, true}};
    rules.inputs = {{"m", "Mic", Transport::software, true}};
    rules.outputsRanked = true;
    rules.alertsFollowOutput = false;
    EXPECT_TRUE(rules.save(*defaults));
    const auto json = *defaults->value(DeviceRules::key);
    EXPECT_EQ(json["outputs"][0]["transport"], "builtin");
    EXPECT_EQ(json["outputs"][0]["ranked"], true);
    EXPECT_FALSE(json["outputs"][1].contains("ranked"));
    EXPECT_EQ(json["inputs"][0]["transport"], "virtual");
    EXPECT_EQ(DeviceRules::load(*defaults), rules);
    // The first format: every transport a number, four characters packed; one it did not know
    // keeps its rule.
    defaults->setValue(DeviceRules::key, nlohmann::json::parse(R"({"outputs": [
        {"uid": "a", "name": "A", "transport": 1651274862, "never": false},
        {"uid": "z", "name": "Z", "transport": 2054847098, "never": true}]})"));
    EXPECT_EQ(DeviceRules::load(*defaults).outputs,
              (std::vector<DeviceRule>{{"a", "A", builtIn, false},
                                       {"z", "Z", Transport::unknown, true}}));
    const auto badRule = nlohmann::json::parse(R"({"uid": "n", "name": "Other", "transport": 1})");
    defaults->setValue(DeviceRules::key, nlohmann::json::parse(R"({
        "outputs": [{"uid": "a", "name": "A", "transport": "builtin", "never": true}],
        "inputs": [{"uid": "n", "name": "Other", "transport": 1},
                   {"uid": "m", "name": "Mic", "transport": 1651274862, "never": false},
                   {"uid": "x", "name": "X", "transport": "warp", "never": false}],
        "outputsRanked": true, "inputsRanked": "yes", "keepBluetoothHighQuality": false})"));
    const auto loaded = DeviceRules::load(*defaults);
    ASSERT_EQ(loaded.outputs.size(), 1u);
    EXPECT_TRUE(loaded.outputs[0].never);
    ASSERT_EQ(loaded.inputs.size(), 1u) << "a bad rule is left out, its list keeps the rest";
    EXPECT_EQ(loaded.inputs[0].uid, "m");
    EXPECT_TRUE(loaded.outputsRanked);
    EXPECT_FALSE(loaded.inputsRanked);
    EXPECT_FALSE(loaded.keepBluetoothHighQuality);
    EXPECT_TRUE(loaded.alertsFollowOutput) << "a missing key takes its default";
    // Both bad rules are logged and kept for good.
    EXPECT_EQ(log.entries("defaults").size(), 2u);
    const auto kept = (*defaults->value(Defaults::unreadableKey))[DeviceRules::key];
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0], (nlohmann::json{{"inputs", nlohmann::json::array({badRule})}}));
    loaded.save(*defaults);
    EXPECT_EQ((*defaults->value(Defaults::unreadableKey))[DeviceRules::key], kept);
    for (const char* bad : {"[]", "\"rules\"", R"({"outputs": 5})",
                            R"({"outputs": [{"uid": "a", "name": "A", "transport": -1,
                                             "never": true}]})"}) {
        defaults->setValue(DeviceRules::key, nlohmann::json::parse(bad));
        EXPECT_EQ(DeviceRules::load(*defaults), DeviceRules{}) << bad;
    }
}

// Short-lived devices (a sink per call, per browser tab) must not pile up for ever: learned
// rules of absent devices go, oldest first, once a list holds more than its bound; the ones the
// user placed or marked stay, and so do connected devices.
TEST(DeviceRulesLearn, ForgetsTheOldestLearnedDevicesBeyondTheBound) {
    DeviceRules rules;
    rules.outputs = {{"placed", "Placed", builtIn, false, true},
                     {"banned", "Banned", builtIn, true, false}};
    rules.learn(std::vector<AudioDevice>{AD{1, "speakers", "Speakers", builtIn, true, false}});
    for (int i = 0; i < 200; ++i) {
        const std::string uid = "call-" + std::to_string(i);
        rules.learn(
            std::vector<AudioDevice>{AD{1, "speakers", "Speakers", builtIn, true, false},
                                     AD{100 + std::uint32_t(i), uid, "Call", builtIn, true, true}});
    }
    ASSERT_EQ(rules.outputs.size(), DeviceRules::maxLearned);
    // The placed, the marked, the one connected throughout, then the newest learned ones.
    const auto kept = uids(rules.outputs);
    EXPECT_EQ(std::vector(kept.begin(), kept.begin() + 4),
              (V{"placed", "banned", "speakers", "call-139"}));
    EXPECT_EQ(rules.outputs.back().uid, "call-199");
    ASSERT_EQ(rules.inputs.size(), DeviceRules::maxLearned);
    EXPECT_EQ(rules.inputs[0].uid, "call-136");
}

using Decision = DevicePolicy::Decision;

const std::optional<std::string> none;

AudioDevice device(std::string uid, Transport transport, bool output, bool input) {
    static ObjectId nextID = 100;
    return AudioDevice{nextID++, uid, uid + " name", transport, output, input};
}

struct World {
    std::vector<AudioDevice> devices;
    DeviceRules rules;
    explicit World(std::vector<AudioDevice> list) : devices(std::move(list)) {
        rules.learn(devices);
    }
    Decision decide(std::optional<std::string> output, std::optional<std::string> input) const {
        return DevicePolicy::decide(rules, devices, output, input);
    }
};

void setNever(std::vector<DeviceRule>& list, const std::string& uid, bool never = true) {
    for (auto& rule : list)
        if (rule.uid == uid) rule.never = never;
}

TEST(DevicePolicyTest, RankedOutputPicksTheTopConnectedAllowedOutput) {
    World w({device("speakers", builtIn, true, false), device("mic-only", usb, false, true),
             device("headphones", usb, true, false)});
    w.rules.outputsRanked = true;
    // Ranked: an absent device, a device without output streams, a never device, headphones.
    w.rules.outputs = {{"gone", "Gone", usb, false},
                       {"mic-only", "Mic", usb, false},
                       {"speakers", "Speakers", builtIn, true},
                       {"headphones", "Headphones", usb, false}};
    EXPECT_EQ(w.decide("speakers", none).output, "headphones");
    EXPECT_EQ(w.decide("headphones", none), Decision{}) << "already the default";
    // Unranked, the same situation is left alone: the current output is not forbidden.
    w.rules.outputsRanked = false;
    setNever(w.rules.outputs, "speakers", false);
    EXPECT_EQ(w.decide("speakers", none), Decision{});
}

TEST(DevicePolicyTest, ForbiddenDevicesFallBackToBuiltInThenFirstAllowed) {
    World w({device("hdmi", Transport::hdmi, true, false), device("usb", usb, true, false),
             device("speakers", builtIn, true, false)});
    setNever(w.rules.outputs, "usb");
    EXPECT_EQ(w.decide("usb", none).output, "speakers");
    w.devices.pop_back(); // without a built-in output: the first allowed one in device order
    EXPECT_EQ(w.decide("usb", none).output, "hdmi");
    setNever(w.rules.outputs, "hdmi");
    EXPECT_EQ(w.decide("usb", none), Decision{}) << "nothing allowed left";
    // A forbidden input is replaced without ranking; no current input, nothing to replace.
    World inputs({device("webcam", usb, false, true), device("mac-mic", builtIn, false, true)});
    setNever(inputs.rules.inputs, "webcam");
    EXPECT_EQ(inputs.decide(none, "webcam"), (Decision{none, "mac-mic"}));
    EXPECT_EQ(inputs.decide(none, none), Decision{});
}

TEST(DevicePolicyTest, BluetoothOutputMovesTheInputOffBluetoothMicrophones) {
    World w({device("speakers", builtIn, true, false), device("mac-mic", builtIn, false, true),
             device("airpods", bluetooth, true, true), device("usb-mic", usb, false, true)});
    // Unranked: the headset's microphone is replaced by the built-in one, or, that forbidden,
    // by the first other allowed non-Bluetooth input.
    EXPECT_EQ(w.decide("airpods", "airpods"), (Decision{none, "mac-mic"}));
    setNever(w.rules.inputs, "mac-mic");
    EXPECT_EQ(w.decide("airpods", "airpods").input, "usb-mic");
    setNever(w.rules.inputs, "mac-mic", false);
    // The option off, or a wired output: the headset's microphone stays.
    w.rules.keepBluetoothHighQuality = false;
    EXPECT_EQ(w.decide("airpods", "airpods"), Decision{});
    w.rules.keepBluetoothHighQuality = true;
    EXPECT_EQ(w.decide("speakers", "airpods"), Decision{});
    // Ranked inputs: rules stored as Bluetooth are passed over while the output is Bluetooth,
    // judged by their stored transport.
    w.rules.inputsRanked = true;
    w.rules.inputs = {{"airpods", "AirPods", bluetooth, false},
                      {"old-le-headset", "LE", bluetoothLE, false},
                      {"usb-mic", "USB", usb, false},
                      {"mac-mic", "Mac", builtIn, false}};
    EXPECT_EQ(w.decide("airpods", "airpods").input, "usb-mic");
    EXPECT_EQ(w.decide("speakers", "mac-mic").input, "airpods");
}

TEST(DevicePolicyTest, TheInputFollowsTheOutputAboutToBeSelected) {
    World w({device("speakers", builtIn, true, false), device("mac-mic", builtIn, false, true),
             device("headset", bluetoothLE, true, true)});
    w.rules.outputsRanked = true;
    w.rules.outputs = {{"headset", "Headset", bluetoothLE, false},
                       {"speakers", "Speakers", builtIn, false}};
    // The output moves to the headset by rank, so its microphone is avoided already now.
    EXPECT_EQ(w.decide("speakers", "headset"), (Decision{"headset", "mac-mic"}));
}

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
