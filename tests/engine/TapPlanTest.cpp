// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TapPlan.h"

#include "engine/EQPreset.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using Mode = AppTap::Mode;

using Want = std::tuple<Mode, std::string, float, float>; // mode, output, gain, duck
enum Flags { metering = 1, silent = 2, ducked = 4, processTapped = 8, keep = 16 };

struct Row {
    const char* what;
    int flags;
    AppSettings settings;
    std::optional<std::string> solo;
    std::optional<Want> tap; // none: no tap
};

// What the plan gives the app "music" (two processes, playing unless said otherwise) beside
// "radio" at its defaults, with the speakers as default output and a software master gain of 0.5.
TEST(TapPlan, EachAppGetsTheTapItsSettingsAndTheEngineStateAskFor) {
    const Want process{Mode::process, "speakers", 0.5f, 1};
    AppSettings quieter, muted, equalised, away, own;
    quieter.volume = 0.5f;
    muted.muted = true;
    equalised.eq = EQSettings::fromPreset(EQPreset::bass);
    away.outputUID = "usb";
    own.outputUID = "headphones";
    const Row rows[] = {
        {"defaults, panel closed", 0, {}, {}, {}},
        {"defaults, panel open", metering, {}, {}, Want{Mode::meter, "speakers", 0.5f, 1}},
        {"defaults, panel open, silent", metering | silent, {}, {}, {}},
        {"quieter", 0, quieter, {}, Want{Mode::process, "speakers", 0.125f, 1}},
        {"muted", 0, muted, {}, Want{Mode::process, "speakers", 0, 1}},
        {"equalised", 0, equalised, {}, process},
        {"stored output not connected", 0, away, {}, process},
        {"own output: no master gain", 0, own, {}, Want{Mode::process, "headphones", 1, 1}},
        {"another app soloed", 0, {}, "radio", Want{Mode::process, "speakers", 0, 1}},
        {"soloed itself", 0, {}, "music", {}},
        {"ducked", ducked, {}, {}, Want{Mode::process, "speakers", 0.5f, 0.3f}},
        {"process tap kept after a call", processTapped | keep, {}, {}, process},
        {"process tap kept while metering", processTapped | metering, {}, {}, process},
        {"process tap at defaults", processTapped, {}, {}, {}},
        {"process tap kept, app silent", processTapped | keep | silent, {}, {}, {}},
    };
    for (const Row& row : rows) {
        std::vector<AppGroup> apps(2);
        apps[0].id = "music", apps[1].id = "radio";
        apps[0].processes = {{12, 1, {}, !(row.flags & silent), false}, {11, 2, {}, false, false}};
        apps[1].processes = {{21, 3, {}, true, false}};
        TapPlan::Inputs in;
        in.apps = apps;
        in.settings = [&](const std::string& id) {
            return id == "music" ? row.settings : AppSettings{};
        };
        in.soloID = row.solo;
        in.isDucked = [&](const AppGroup& app) {
            return (row.flags & ducked) && app.id == "music";
        };
        in.duckLevel = 0.3f;
        in.metering = row.flags & metering;
        in.keepProcessTaps = row.flags & keep;
        if (row.flags & processTapped) in.processTapped = {"music"};
        in.outputUIDs = {"speakers", "headphones"};
        in.defaultOutputUID = "speakers";
        in.softwareMasterGain = 0.5f;

        const auto plan = TapPlan::desired(in);
        // The radio at its defaults is tapped only when metered or soloed out.
        EXPECT_EQ(plan.count("radio"), (row.flags & metering) || row.solo == "music" ? 1u : 0u)
            << row.what;
        const auto tap = plan.find("music");
        ASSERT_EQ(tap != plan.end(), row.tap.has_value()) << row.what;
        if (!row.tap) continue;
        EXPECT_EQ(
            std::tuple(tap->second.mode, tap->second.outputUID, tap->second.gain, tap->second.duck),
            *row.tap)
            << row.what;
        EXPECT_EQ(tap->second.objectIDs, (std::vector<ObjectId>{11, 12})) << row.what;
        EXPECT_EQ(tap->second.eq, row.settings.eq.gains) << row.what;
    }
}

TEST(TapPlan, VolumeIsSquaredUpToUnityThenBoostsToTwelveDecibels) {
    EXPECT_EQ(TapPlan::gainForVolume(0), 0.0f);
    EXPECT_EQ(TapPlan::gainForVolume(0.5f), 0.25f);
    EXPECT_EQ(TapPlan::gainForVolume(1), 1.0f);
    EXPECT_NEAR(TapPlan::gainForVolume(1.5f), 1.9953f, 1e-3);
    EXPECT_NEAR(TapPlan::gainForVolume(2), 3.981f, 1e-3);
}

} // namespace
} // namespace voxlane
