// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hal/AggregateDeviceDescription.h"
#include "platform/hal/CATapDescription.h"
#include "platform/hal/HalConstants.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace voxlane {
namespace {

TEST(HalTypes, FourCharacterCodesPackBigEndian) {
    EXPECT_EQ(kAudioHardwarePropertyDevices, 0x64657623u); // 'dev#'
    EXPECT_EQ(kAudioObjectPropertyScopeOutput, 0x6F757470u);
    EXPECT_EQ(kAudioDeviceTransportTypeUSB, 0x75736220u); // trailing space kept
    EXPECT_EQ(kAudioHardwareBadObjectError, 560947818);   // '!obj'
}

TEST(HalTypes, StreamUsageBlockLayout) {
    // IO procedure id, then the stream count, then one flag per stream with no padding between.
    EXPECT_EQ(ioProcStreamUsageHeaderSize, 12u);
    EXPECT_EQ(ioProcStreamUsageSize(3), 24u);
    std::vector<std::byte> block(ioProcStreamUsageSize(3));
    setStreamUsageFlag(block.data(), 2, 1);
    EXPECT_EQ(streamUsageFlag(block.data(), 2), 1u);
    EXPECT_EQ(streamUsageFlag(block.data(), 1), 0u);
}

TEST(HalTypes, TapDescriptionCaptures) {
    auto mixdown = CATapDescription::stereoMixdownOfProcesses({7, 9});
    EXPECT_TRUE(mixdown.captures(9));
    EXPECT_FALSE(mixdown.captures(8));
    auto global = CATapDescription::stereoGlobalTapButExcludeProcesses({9});
    EXPECT_TRUE(global.captures(8));
    EXPECT_FALSE(global.captures(9));
    EXPECT_TRUE(CATapDescription::stereoGlobalTapButExcludeProcesses({}).captures(1234));
}

TEST(HalTypes, AggregateDescriptionDictionaryUsesPublishedKeys) {
    AggregateDeviceDescription description;
    description.name = "Voxlane";
    description.uid = "agg-1";
    description.mainSubDevice = "speakers";
    description.isPrivate = true;
    description.tapAutoStart = true;
    description.subDevices = {{"speakers"}};
    description.taps = {{"TAP-UUID", true}};
    const auto dict = description.dictionary();
    EXPECT_EQ(dict.at("name"), "Voxlane");
    EXPECT_EQ(dict.at("uid"), "agg-1");
    EXPECT_EQ(dict.at("master"), "speakers");
    EXPECT_EQ(dict.at("private"), true);
    EXPECT_EQ(dict.at("stacked"), false);
    EXPECT_EQ(dict.at("tapautostart"), true);
    EXPECT_EQ(dict.at("subdevices"), nlohmann::json::parse(R"([{"uid":"speakers"}])"));
    EXPECT_EQ(dict.at("taps"), nlohmann::json::parse(R"([{"uid":"TAP-UUID","drift":true}])"));
}

} // namespace
} // namespace voxlane
