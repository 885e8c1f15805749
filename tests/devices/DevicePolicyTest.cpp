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

AudioDevice device(std::string uid, Transport transport, bool output, bool input) {
    static ObjectId nextID = 100;
    return AudioDevice{nextID++, uid, uid + " name", transport, output, input};
}

// Rules learned from the devices, in their order.
DeviceRules learned(const std::vector<AudioDevice>& devices) {
    DeviceRules rules;
    rules.learn(devices);
    return rules;
}

void setNever(std::vector<DeviceRule>& list, const std::string& uid) {
    for (auto& rule : list)
        rule.never = rule.never || rule.uid == uid;
}

std::optional<std::string> none = std::nullopt;

Decision decide(const DeviceRules& rules, const std::vector<AudioDevice>& devices,
                std::optional<std::string> output, std::optional<std::string> input) {
    return DevicePolicy::decide(rules, devices, output, input);
}

TEST(DevicePolicyTest, RankedOutputPicksTheTopConnectedAllowedOutput) {
    const std::vector<AudioDevice> devices{device("speakers", builtIn, true, false),
                                           device("mic-only", usb, false, true),
                                           device("headphones", usb, true, false)};
    DeviceRules rules = learned(devices);
    rules.outputsRanked = true;
    // Ranked: an absent device, a device without output streams, a never device, headphones.
    rules.outputs = {{"gone", "Gone", usb, false},
                     {"mic-only", "Mic", usb, false},
                     {"speakers", "Speakers", builtIn, true},
                     {"headphones", "Headphones", usb, false}};

    EXPECT_EQ(decide(rules, devices, "speakers", none).output, "headphones");
    // Already the default: nothing to do.
    EXPECT_EQ(decide(rules, devices, "headphones", none), Decision{});

    // Unranked, the same situation is left alone: the current output is not forbidden.
    rules.outputsRanked = false;
    rules.outputs[2].never = false;
    EXPECT_EQ(decide(rules, devices, "speakers", none), Decision{});
}

TEST(DevicePolicyTest, ForbiddenDevicesFallBackToBuiltInThenFirstAllowed) {
    std::vector<AudioDevice> devices{device("hdmi", Transport::hdmi, true, false),
                                     device("usb", usb, true, false),
                                     device("speakers", builtIn, true, false)};
    DeviceRules rules = learned(devices);
    setNever(rules.outputs, "usb");
    EXPECT_EQ(decide(rules, devices, "usb", none).output, "speakers");

    // Without a built-in output, the first allowed output in device order.
    devices.pop_back();
    EXPECT_EQ(decide(rules, devices, "usb", none).output, "hdmi");

    // Nothing allowed left: nothing to switch to.
    setNever(rules.outputs, "hdmi");
    EXPECT_EQ(decide(rules, devices, "usb", none), Decision{});

    // A forbidden input is replaced without ranking; no current input, nothing to replace.
    devices = {device("webcam", usb, false, true), device("mac-mic", builtIn, false, true)};
    rules = learned(devices);
    setNever(rules.inputs, "webcam");
    EXPECT_EQ(decide(rules, devices, none, "webcam"), (Decision{none, "mac-mic"}));
    EXPECT_EQ(decide(rules, devices, none, none), Decision{});
}

TEST(DevicePolicyTest, BluetoothOutputMovesTheInputOffBluetoothMicrophones) {
    const std::vector<AudioDevice> devices{
        device("speakers", builtIn, true, false), device("mac-mic", builtIn, false, true),
        device("airpods", bluetooth, true, true), device("usb-mic", usb, false, true)};
    DeviceRules rules = learned(devices);

    // Unranked: the headset's microphone is replaced by the built-in one.
    EXPECT_EQ(decide(rules, devices, "airpods", "airpods"), (Decision{none, "mac-mic"}));
    // The built-in microphone forbidden: the first other allowed non-Bluetooth input.
    setNever(rules.inputs, "mac-mic");
    EXPECT_EQ(decide(rules, devices, "airpods", "airpods").input, "usb-mic");
    rules.inputs[0].never = false;

    // The option off, or a wired output: the headset's microphone stays.
    rules.keepBluetoothHighQuality = false;
    EXPECT_EQ(decide(rules, devices, "airpods", "airpods"), Decision{});
    rules.keepBluetoothHighQuality = true;
    EXPECT_EQ(decide(rules, devices, "speakers", "airpods"), Decision{});

    // Ranked inputs: rules stored as Bluetooth are passed over while the output is Bluetooth,
    // judged by their stored transport.
    rules.inputsRanked = true;
    rules.inputs = {{"airpods", "AirPods", bluetooth, false},
                    {"old-le-headset", "LE", bluetoothLE, false},
                    {"usb-mic", "USB", usb, false},
                    {"mac-mic", "Mac", builtIn, false}};
    EXPECT_EQ(decide(rules, devices, "airpods", "airpods").input, "usb-mic");
    EXPECT_EQ(decide(rules, devices, "speakers", "mac-mic").input, "airpods");
}

TEST(DevicePolicyTest, TheInputFollowsTheOutputAboutToBeSelected) {
    const std::vector<AudioDevice> devices{device("speakers", builtIn, true, false),
                                           device("mac-mic", builtIn, false, true),
                                           device("headset", bluetoothLE, true, true)};
    DeviceRules rules = learned(devices);
    rules.outputsRanked = true;
    rules.outputs = {{"headset", "Headset", bluetoothLE, false},
                     {"speakers", "Speakers", builtIn, false}};
    // The output moves to the headset by rank, so its microphone is avoided already now.
    EXPECT_EQ(decide(rules, devices, "speakers", "headset"), (Decision{"headset", "mac-mic"}));

    // A forbidden Bluetooth output with nothing to replace it counts as no output: its
    // microphone is not avoided.
    rules.outputsRanked = false;
    rules.outputs = {{"headset", "Headset", bluetoothLE, true},
                     {"speakers", "Speakers", builtIn, true}};
    EXPECT_EQ(decide(rules, devices, "headset", "headset"), Decision{});
}

} // namespace
} // namespace voxlane
