#include "engine/SettingsStore.h"

#include "platform/Defaults.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace voxlane {
namespace {

nlohmann::json stored(const Defaults& defaults) {
    return nlohmann::json::parse(defaults.data(SettingsStore::key).value());
}

TEST(AppSettingsDefault, ToleranceAndPresetIndependence) {
    AppSettings nearlyDefault;
    nearlyDefault.volume = 1.0004f;
    nearlyDefault.eq = {EQPreset::custom, {0.04f, -0.04f, 0, 0.04f, 0}};
    EXPECT_TRUE(nearlyDefault.isDefault());

    AppSettings quieter;
    quieter.volume = 0.998f;
    EXPECT_FALSE(quieter.isDefault());

    AppSettings routed;
    routed.outputUID = "speakers";
    EXPECT_FALSE(routed.isDefault());

    AppSettings equalised;
    equalised.eq.gains = {0, 0, 0.05f};
    EXPECT_FALSE(equalised.isDefault());
    equalised.eq.gains.clear();
    EXPECT_TRUE(equalised.isDefault());
}

TEST(SettingsStoreSave, DropsDefaultRecordsAndOmitsMissingOutput) {
    auto defaults = Defaults::inMemory();
    AppSettings loud;
    loud.volume = 1.5f;
    AppSettings nearlyDefault;
    nearlyDefault.volume = 1.0004f;
    SettingsStore::save(*defaults,
                        {{"org.example.loud", loud}, {"org.example.quiet", nearlyDefault}});
    const auto json = stored(*defaults);
    ASSERT_EQ(json.size(), 1u);
    EXPECT_FALSE(json["org.example.loud"].contains("outputUID"));
    EXPECT_EQ(json["org.example.loud"]["muted"], false);
    EXPECT_EQ(json["org.example.loud"]["eq"]["preset"], "off");

    SettingsStore::save(*defaults, {{"a", AppSettings{}}});
    EXPECT_EQ(stored(*defaults), nlohmann::json::object());
}

TEST(SettingsStoreLoad, RoundTripAndPartialRecords) {
    auto defaults = Defaults::inMemory();
    EXPECT_TRUE(SettingsStore::load(*defaults).empty());

    AppSettings full{0.25f, true, "usb-headset", EQSettings::fromPreset(EQPreset::night)};
    SettingsStore::save(*defaults, {{"firefox", full}});
    EXPECT_EQ(SettingsStore::load(*defaults), (AppSettingsMap{{"firefox", full}}));

    defaults->setData(SettingsStore::key, R"({"a": {}, "b": {"muted": true, "extra": [1]},
        "c": {"volume": 0.5, "muted": true, "eq": "loud"}, "d": {"volume": 7, "outputUID": null}})");
    const auto loaded = SettingsStore::load(*defaults);
    ASSERT_EQ(loaded.size(), 4u);
    EXPECT_EQ(loaded.at("a"), AppSettings{});
    EXPECT_TRUE(loaded.at("b").muted);
    EXPECT_EQ(loaded.at("c").volume, 0.5f);
    EXPECT_TRUE(loaded.at("c").muted);
    EXPECT_EQ(loaded.at("c").eq, EQSettings::off());
    EXPECT_EQ(loaded.at("d").volume, 2.0f); // clamped to what the mixer can set
    EXPECT_FALSE(loaded.at("d").outputUID);
}

TEST(SettingsStoreLoad, OneBadMemberEmptiesEverything) {
    auto defaults = Defaults::inMemory();
    for (const char* bad :
         {R"({"a": {"volume": 1}, "b": {"volume": "loud"}})", R"({"a": {"muted": 1}})",
          R"({"a": {"outputUID": 5}})", R"({"a": {"volume": 1e300}})", R"({"a": 3})", R"([1, 2])",
          "not json", ""}) {
        defaults->setData(SettingsStore::key, bad);
        EXPECT_TRUE(SettingsStore::load(*defaults).empty()) << bad;
    }
}

} // namespace
} // namespace voxlane
