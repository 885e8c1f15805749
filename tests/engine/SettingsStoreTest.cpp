// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SettingsStore.h"

#include "platform/Defaults.h"
#include "platform/Log.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace voxlane {
namespace {

using json = nlohmann::json;

json stored(const Defaults& defaults) {
    return *defaults.value(SettingsStore::key);
}

TEST(AppSettingsDefault, ToleranceAndPresetIndependence) {
    const auto isDefault = [](auto change) {
        AppSettings settings;
        change(settings);
        return settings.isDefault();
    };
    EXPECT_TRUE(isDefault([](AppSettings& s) {
        s.volume = 1.0004f;
        s.eq = {EQPreset::custom, {0.04f, -0.04f, 0, 0.04f, 0}};
    }));
    EXPECT_FALSE(isDefault([](AppSettings& s) { s.volume = 0.998f; }));
    EXPECT_FALSE(isDefault([](AppSettings& s) { s.outputUID = "speakers"; }));
    EXPECT_FALSE(isDefault([](AppSettings& s) { s.eq.gains = {0, 0, 0.05f}; }));
    EXPECT_TRUE(isDefault([](AppSettings& s) { s.eq.gains.clear(); }));
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

    defaults->setValue(SettingsStore::key,
                       json::parse(R"({"a": {}, "b": {"muted": true, "extra": [1]},
        "c": {"volume": 0.5, "muted": true, "eq": "loud"}, "d": {"volume": 7, "outputUID": null}})"));
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

// One record that does not decode is skipped and logged; every other app keeps its settings, and
// the next save cannot lose the bad one: it waits under "unreadable".
TEST(SettingsStoreLoad, BadRecordIsSetAsideAndTheOthersLoad) {
    AppSettings quiet;
    quiet.volume = 0.25f;
    for (const char* bad : {R"({"muted": "yes"})", R"({"volume": "loud"})", R"({"outputUID": 5})",
                            R"({"volume": 1e300})", "3"}) {
        Log::Capture log;
        auto defaults = Defaults::inMemory();
        const auto badRecord = json::parse(bad);
        defaults->setValue(SettingsStore::key, {{"org.example.Good", {{"volume", 0.25}}},
                                                {"org.example.Bad", badRecord}});
        EXPECT_EQ(SettingsStore::load(*defaults), (AppSettingsMap{{"org.example.Good", quiet}}))
            << bad;
        EXPECT_EQ(log.entries("defaults").size(), 1u) << bad;

        AppSettings loud;
        loud.volume = 1.5f;
        SettingsStore::save(*defaults, {{"org.example.Good", quiet}, {"org.example.New", loud}});
        EXPECT_EQ(stored(*defaults).size(), 2u);
        EXPECT_EQ((*defaults->value(Defaults::unreadableKey))[SettingsStore::key],
                  json::array({{{"org.example.Bad", badRecord}}}))
            << bad;
    }

    // A stored value that is no object at all is kept whole.
    auto defaults = Defaults::inMemory();
    defaults->setValue(SettingsStore::key, json::array({1, 2}));
    Log::Capture log;
    EXPECT_TRUE(SettingsStore::load(*defaults).empty());
    SettingsStore::save(*defaults, {});
    EXPECT_EQ((*defaults->value(Defaults::unreadableKey))[SettingsStore::key],
              json::array({json::array({1, 2})}));
}

TEST(SettingsStoreSave, RecordThatCannotBeWrittenIsReportedAndTheOthersAreSaved) {
    auto defaults = Defaults::inMemory();
    AppSettings quiet;
    quiet.volume = 0.25f;
    Log::Capture log;
    EXPECT_FALSE(SettingsStore::save(
        *defaults, {{"process.\xd0\x9f\xd1", quiet}, {"org.example.Good", quiet}}));
    EXPECT_EQ(stored(*defaults), (json{{"org.example.Good", quiet}}));
    ASSERT_EQ(log.entries("engine").size(), 1u);
    EXPECT_TRUE(SettingsStore::save(*defaults, {{"org.example.Good", quiet}}));
}

} // namespace
} // namespace voxlane
