// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/DevicePolicy.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using Decision = DevicePolicy::Decision;

constexpr Transport builtIn = Transport::builtIn;
constexpr Transport usb = Transport::usb;
constexpr Transport bluetooth = Transport::bluetooth;
constexpr Transport bluetoothLE = Transport::bluetoothLE;
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
    // A forbidden Bluetooth output with nothing to replace it counts as no output: its
    // microphone is not avoided.
    w.rules.outputsRanked = false;
    setNever(w.rules.outputs, "headset");
    setNever(w.rules.outputs, "speakers");
    EXPECT_EQ(w.decide("headset", "headset"), Decision{});
}

} // namespace
} // namespace voxlane
