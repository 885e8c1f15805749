// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SettingsStore.h"

#include "platform/Defaults.h"
#include "platform/Log.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace voxlane {
namespace {

using json = nlohmann::json;

AppSettings with(float volume, bool muted = false, std::optional<std::string> output = {}) {
    AppSettings settings;
    settings.volume = volume;
    settings.muted = muted;
    settings.outputUID = std::move(output);
    return settings;
}

json stored(const Defaults& defaults) {
    return *defaults.value(SettingsStore::key);
}

// Records within the tolerance of the defaults (whatever their EQ preset) are dropped; a missing
// output is left out of the record.
TEST(SettingsStoreSave, DropsDefaultRecordsAndOmitsMissingOutput) {
    const EQSettings nearlyFlat{EQPreset::custom, {0.04f, -0.04f, 0, 0.04f, 0}};
    AppSettings nearlyDefault = with(1.0004f), noGains, lifted;
    nearlyDefault.eq = nearlyFlat;
    noGains.eq.gains.clear();
    lifted.eq.gains = {0, 0, 0.05f};
    EXPECT_TRUE(nearlyDefault.isDefault() && noGains.isDefault());
    EXPECT_FALSE(with(0.998f).isDefault() || with(1, false, "speakers").isDefault() ||
                 lifted.isDefault());
    auto defaults = Defaults::inMemory();
    SettingsStore::save(*defaults,
                        {{"org.example.loud", with(1.5f)}, {"org.example.quiet", nearlyDefault}});
    EXPECT_EQ(stored(*defaults), json::parse(R"({"org.example.loud": {"volume": 1.5, "muted": false,
        "eq": {"preset": "off", "gains": [0, 0, 0, 0, 0]}}})"));
    SettingsStore::save(*defaults, {{"a", AppSettings{}}});
    EXPECT_EQ(stored(*defaults), json::object());
}

TEST(SettingsStoreLoad, RoundTripAndPartialRecords) {
    auto defaults = Defaults::inMemory();
    EXPECT_TRUE(SettingsStore::load(*defaults).empty());
    AppSettings full{0.25f, true, "usb-headset", EQSettings::fromPreset(EQPreset::night)};
    SettingsStore::save(*defaults, {{"firefox", full}});
    EXPECT_EQ(SettingsStore::load(*defaults), (AppSettingsMap{{"firefox", full}}));
    // Missing members take their defaults, unknown ones are ignored, a volume is clamped to what
    // the mixer can set.
    defaults->setValue(SettingsStore::key,
                       json::parse(R"({"a": {}, "b": {"muted": true, "extra": [1]},
        "c": {"volume": 0.5, "muted": true, "eq": "loud"}, "d": {"volume": 7, "outputUID": null}})"));
    EXPECT_EQ(
        SettingsStore::load(*defaults),
        (AppSettingsMap{{"a", {}}, {"b", with(1, true)}, {"c", with(0.5f, true)}, {"d", with(2)}}));
}

// One record that does not decode is skipped and logged; every other app keeps its settings, and
// the next save cannot lose the bad one: it waits under "unreadable".
TEST(SettingsStoreLoad, BadRecordIsSetAsideAndTheOthersLoad) {
    const AppSettings quiet = with(0.25f);
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
        SettingsStore::save(*defaults,
                            {{"org.example.Good", quiet}, {"org.example.New", with(1.5f)}});
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
    const AppSettings quiet = with(0.25f);
    Log::Capture log;
    EXPECT_FALSE(SettingsStore::save(
        *defaults, {{"process.\xd0\x9f\xd1", quiet}, {"org.example.Good", quiet}}));
    EXPECT_EQ(stored(*defaults), (json{{"org.example.Good", quiet}}));
    ASSERT_EQ(log.entries("engine").size(), 1u);
    EXPECT_TRUE(SettingsStore::save(*defaults, {{"org.example.Good", quiet}}));
}

} // namespace
} // namespace voxlane
