#include "devices/DeviceRules.h"

#include "coreaudio/AudioDevice.h"
#include "platform/Defaults.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace voxlane {
namespace {

constexpr std::uint32_t kBuiltIn = 0x626c746e;   // 'bltn'
constexpr std::uint32_t kBluetooth = 0x626c7565; // 'blue'

AudioDevice device(std::uint32_t id, std::string uid, std::string name, std::uint32_t transport,
                   bool out, bool in) {
    AudioDevice d;
    d.id = id;
    d.uid = std::move(uid);
    d.name = std::move(name);
    d.transport = transport;
    d.hasOutput = out;
    d.hasInput = in;
    return d;
}

TEST(DeviceRulesLearn, AppendsNewDevicesAndKeepsPlacesAndFlags) {
    auto defaults = Defaults::inMemory();
    DeviceRules rules = DeviceRules::load(*defaults);
    EXPECT_EQ(rules, DeviceRules{});
    EXPECT_TRUE(rules.keepBluetoothHighQuality);
    EXPECT_TRUE(rules.alertsFollowOutput);

    const std::vector<AudioDevice> first{device(2, "speakers", "Speakers", kBuiltIn, true, false),
                                         device(3, "headset", "Headset", kBluetooth, true, true),
                                         device(4, "mic", "Microphone", kBuiltIn, false, true)};
    rules.learn(first);
    ASSERT_EQ(rules.outputs.size(), 2u);
    EXPECT_EQ(rules.outputs[0].uid, "speakers");
    EXPECT_EQ(rules.outputs[1].uid, "headset");
    ASSERT_EQ(rules.inputs.size(), 2u);
    EXPECT_EQ(rules.inputs[0].uid, "headset");
    EXPECT_EQ(rules.inputs[1].uid, "mic");

    rules.outputs[1].never = true;
    std::swap(rules.outputs[0], rules.outputs[1]);
    // Renamed headset, speakers gone, a new USB device.
    rules.learn(
        std::vector<AudioDevice>{device(9, "usb", "USB DAC", 0x75736220, true, false),
                                 device(3, "headset", "Anna's Headset", kBluetooth, true, true)});
    ASSERT_EQ(rules.outputs.size(), 3u);
    EXPECT_EQ(rules.outputs[0], (DeviceRule{"headset", "Anna's Headset", kBluetooth, true}));
    EXPECT_EQ(rules.outputs[1].uid, "speakers");
    EXPECT_EQ(rules.outputs[2].uid, "usb");
    EXPECT_EQ(rules.inputs[0].name, "Anna's Headset");
    EXPECT_FALSE(rules.inputs[0].never);
}

TEST(DeviceRulesStorage, RoundTripsThroughDefaults) {
    auto defaults = Defaults::inMemory();
    DeviceRules rules;
    rules.outputs = {{"a", "A", kBuiltIn, false}, {"b", "B", kBluetooth, true}};
    rules.inputs = {{"m", "Mic", kBuiltIn, true}};
    rules.outputsRanked = true;
    rules.alertsFollowOutput = false;
    rules.save(*defaults);
    const auto json = nlohmann::json::parse(defaults->data(DeviceRules::key).value());
    EXPECT_EQ(json["outputs"][0]["transport"], 1651274862u);
    EXPECT_EQ(DeviceRules::load(*defaults), rules);
}

TEST(DeviceRulesStorage, DecodesKeyByKey) {
    auto defaults = Defaults::inMemory();
    defaults->setData(DeviceRules::key, R"({
        "outputs": [{"uid": "a", "name": "A", "transport": 1651274862, "never": true}],
        "inputs": [{"uid": "m", "name": "Mic", "transport": 1651274862, "never": false},
                   {"uid": "n", "name": "Other", "transport": 1651274862}],
        "outputsRanked": true, "inputsRanked": "yes", "keepBluetoothHighQuality": false})");
    const auto rules = DeviceRules::load(*defaults);
    ASSERT_EQ(rules.outputs.size(), 1u);
    EXPECT_TRUE(rules.outputs[0].never);
    EXPECT_TRUE(rules.inputs.empty()) << "one bad rule empties its list only";
    EXPECT_TRUE(rules.outputsRanked);
    EXPECT_FALSE(rules.inputsRanked);
    EXPECT_FALSE(rules.keepBluetoothHighQuality);
    EXPECT_TRUE(rules.alertsFollowOutput) << "a missing key takes its default";

    for (const char* bad :
         {"[]", "\"rules\"", "{not json", R"({"outputs": 5})",
          R"({"outputs": [{"uid": "a", "name": "A", "transport": -1, "never": true}]})"}) {
        defaults->setData(DeviceRules::key, bad);
        EXPECT_EQ(DeviceRules::load(*defaults), DeviceRules{}) << bad;
    }
}

} // namespace
} // namespace voxlane
