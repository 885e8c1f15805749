// SPDX-License-Identifier: GPL-3.0-or-later
// The views' rules, without any widget.
#include "engine/EQ.h"
#include "ui/AppRowRules.h"
#include "ui/EQCurveRules.h"
#include "ui/FaderRules.h"
#include "ui/PanelRules.h"
#include "ui/Translations.h"

#include <QTranslator>
#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <limits>

namespace voxlane {
namespace {

TEST(FaderRules, PositionsGiveValuesSnappingToUnityOnAppFadersOnlyInsideTheTrack) {
    // Track 200 wide with maximum 2 (an app): x = 100 × value; track 100 with maximum 1 (the
    // master). The app snaps to unity within seven percent; the master has no snap zone.
    const struct {
        double x, width;
        float maximum;
        std::optional<float> value;
    } cases[] = {{103, 200, 2, 1.0f}, {94, 200, 2, 1.0f},      {92, 200, 2, 0.92f},
                 {150, 200, 2, 1.5f}, {99.5, 100, 1, 0.995f},  {-30, 200, 2, 0.0f},
                 {260, 200, 2, 2.0f}, {10, 0, 2, std::nullopt}};
    for (const auto& c : cases) {
        const auto value = FaderRules::valueAt(c.x, c.width, c.maximum);
        ASSERT_EQ(value.has_value(), c.value.has_value()) << c.x << " on " << c.width;
        if (value) {
            EXPECT_FLOAT_EQ(*value, *c.value) << c.x << " on " << c.width;
        }
    }
}

TEST(FaderRules, StepsStayInsideTheRangeAndUnityIsFeltOncePerArrival) {
    EXPECT_EQ(FaderRules::incremented(1.98f, 2.0f), 2.0f);
    EXPECT_FLOAT_EQ(FaderRules::incremented(1.5f, 2.0f), 1.55f);
    EXPECT_EQ(FaderRules::incremented(0.97f, 1.0f), 1.0f);
    EXPECT_EQ(FaderRules::decremented(0.02f), 0.0f);
    EXPECT_TRUE(FaderRules::arrivesAtUnity(0.9f, 1.0f));
    EXPECT_FALSE(FaderRules::arrivesAtUnity(1.0f, 1.0f));
    EXPECT_FALSE(FaderRules::arrivesAtUnity(0.9f, 1.1f));
    // A wheel notch is one step; smaller turns add up, the rest waits for the next turn.
    int turn = 60;
    EXPECT_EQ(FaderRules::wheelSteps(turn), 0);
    turn += 70;
    EXPECT_EQ(FaderRules::wheelSteps(turn), 1);
    EXPECT_EQ(turn, 10);
    turn = -250;
    EXPECT_EQ(FaderRules::wheelSteps(turn), -2);
    EXPECT_EQ(turn, -10);
}

TEST(FaderRules, FillSplitsAtTheUnityPointAndTheMeterScalesIt) {
    using S = FaderRules::Segment;
    EXPECT_EQ(FaderRules::fillSegments(150, 200, 2.0f),
              (std::vector<S>{{0, 100, false}, {100, 150, true}}));
    EXPECT_EQ(FaderRules::fillSegments(0, 200, 2.0f), std::vector<S>{});
    // The master never shows boost, even at its right end.
    EXPECT_EQ(FaderRules::fillSegments(200, 200, 1.0f), (std::vector<S>{{0, 200, false}}));
    EXPECT_DOUBLE_EQ(FaderRules::meterEnd(120, 0.5f), 60);
    EXPECT_DOUBLE_EQ(FaderRules::meterEnd(120, std::nullopt), 120);
    EXPECT_DOUBLE_EQ(FaderRules::meterEnd(120, 1.7f), 120);
    EXPECT_DOUBLE_EQ(FaderRules::meterEnd(120, std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(EQCurveRules, RoundsToHalfDecibelsWithADeadZoneAroundZero) {
    // A half step rounds away from zero (0.75, 2.25).
    const std::pair<float, float> cases[] = {{0.6f, 0},  {-0.7f, 0},      {0.8f, 1},
                                             {0.75f, 1}, {-2.25f, -2.5f}, {12, 12}};
    for (auto [gain, stored] : cases)
        EXPECT_EQ(EQCurveRules::rounded(gain), stored) << gain;
    // Arrow keys step half decibels, but leave zero for one and stop at the ends.
    EXPECT_EQ(EQCurveRules::keyStep(0, -1), -1.0f);
    EXPECT_EQ(EQCurveRules::keyStep(1.0f, 1), 1.5f);
    EXPECT_EQ(EQCurveRules::rounded(EQCurveRules::keyStep(1.0f, -1)), 0.0f);
    EXPECT_EQ(EQCurveRules::keyStep(12.0f, 1), 12.0f);
}

TEST(EQCurveRules, DragsSetTheNearestBandRoundedAndSettingsNameTheirPreset) {
    std::vector<float> gains{3, 0, 0};
    auto change = EQCurveRules::setBand(gains, 0, 0.6f);
    EXPECT_TRUE(change.changed);
    EXPECT_TRUE(change.reachedZero);
    EXPECT_EQ(gains, (std::vector<float>{0, 0, 0, 0, 0})); // widened to five bands
    EXPECT_FALSE(EQCurveRules::setBand(gains, 0, 0.4f).changed);
    change = EQCurveRules::setBand(gains, 4, 5.3f);
    EXPECT_TRUE(change.changed && !change.reachedZero);
    EXPECT_EQ(gains[4], 5.5f);
    EXPECT_FALSE(EQCurveRules::setBand(gains, 5, 3).changed);
    EXPECT_FALSE(EQCurveRules::setBand(gains, -1, 3).changed);
    // A drag picks the nearest band, the lower one on a tie.
    const EQCurveRules::Plot plot{300, 82};
    const double x1k = EQCurveRules::x(plot, 1000), x4k = EQCurveRules::x(plot, 4000);
    EXPECT_EQ(EQCurveRules::nearestBand(plot, x4k - 1), 3u);
    EXPECT_EQ(EQCurveRules::nearestBand(plot, (x1k + x4k) / 2), 2u);
    EXPECT_EQ(EQCurveRules::dbAt({216, 10}, 3), 0.0f); // a plot too small to drag in
    // Stored settings name their preset or are custom.
    const auto& voice = EQPresets::gains(EQPreset::voice);
    EXPECT_EQ(EQCurveRules::settingsFor(voice).preset, EQPreset::voice);
    EXPECT_EQ(EQCurveRules::settingsFor(std::vector<float>{0, 0, 0, 0, 0}).preset, EQPreset::off);
    const std::vector<float> own{-5, -1.5f, 1.5f, 4.5f, 1};
    EXPECT_EQ(EQCurveRules::settingsFor(own), (EQSettings{EQPreset::custom, own}));
    // A short gain list reads as the rest at zero.
    EXPECT_EQ(EQCurveRules::accessibilityValue(std::vector<float>{-1.5f}),
              "Low -1 dB, 250 0 dB, 1k 0 dB, 4k 0 dB, High 0 dB");
}

// Silenced rows and the buttons shown while hovered or muted are the panel tests'; compact rows
// and the buttons of other states are seen here.
TEST(AppRowRules, CompactRowsAndButtonsInUse) {
    using AppRowRules::Buttons;
    using AppRowRules::RowState;
    EXPECT_EQ(AppRowRules::rowOpacity(RowState{.compact = true}), AppRowRules::compactOpacity);
    EXPECT_EQ(AppRowRules::visibleButtons(RowState{.compact = true, .focused = true}),
              (Buttons{false, false, true}));
    EXPECT_EQ(AppRowRules::visibleButtons(RowState{.soloed = true, .soloActive = true}),
              (Buttons{false, true, false}));
    EXPECT_EQ(AppRowRules::visibleButtons(RowState{.eqOpen = true}), (Buttons{true, false, false}));
    EXPECT_EQ(AppRowRules::presetShortName(EQPreset::off), "") << "a flat equaliser says nothing";
    EXPECT_EQ(AppRowRules::toggledSolo("b", "a"), "a");
    EXPECT_EQ(AppRowRules::toggledSolo("a", "a"), std::nullopt) << "the same app ends it";
}

// Which modules show is the panel tests'. In a sandbox the access notice shows until access is
// granted; on an ordinary session not for the quiet first check, but after a failed one, and
// while the user's next check runs.
TEST(PanelRules, TheAccessNoticeShowsOnlyWhereAccessCanBeMissing) {
    using S = AudioPermission::Status;
    const struct {
        S status;
        bool sandboxed, asked, shown;
    } cases[] = {{S::unknown, true, false, true},   {S::checking, true, false, true},
                 {S::denied, true, false, true},    {S::granted, true, true, false},
                 {S::unknown, false, false, false}, {S::checking, false, false, false},
                 {S::denied, false, false, true},   {S::checking, false, true, true},
                 {S::granted, false, true, false}};
    for (const auto& c : cases)
        EXPECT_EQ(PanelRules::accessNoticeShown(c.status, c.sandboxed, c.asked), c.shown)
            << int(c.status) << c.sandboxed << c.asked;
    // In a Wayland session the keys are the desktop's, and the notice says so.
    EXPECT_NE(PanelRules::volumeKeysHelp(std::nullopt, std::nullopt, false).find("Wayland"),
              std::string::npos);
}

TEST(PanelRules, GermanPluralsAndTheCoresTextsInGerman) {
    {
        Translations german(QLocale(QLocale::German, QLocale::Austria));
        ASSERT_EQ(german.language(), "de");
        EXPECT_EQ(PanelRules::silentToggleTitle(1, false), "1 stille App");
        EXPECT_EQ(PanelRules::silentToggleTitle(2, false), "2 stille Apps");
        EXPECT_EQ(PanelRules::micHelp(false), "Alle Mikrofone stummschalten (Strg+Alt+Super+M)");
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Austria));
        EXPECT_EQ(EQCurveRules::valueLabel(3.5f), "+3,5 dB")
            << "the number as the locale writes it";
        QLocale::setDefault(before);
    }
    EXPECT_EQ(PanelRules::silentToggleTitle(1, false), "1 silent app") << "English again";
    EXPECT_EQ(PanelRules::silentToggleTitle(2, false), "2 silent apps");
    // A language Voxlane lacks keeps the English texts, plural forms included.
    {
        Translations french(QLocale(QLocale::French));
        EXPECT_EQ(french.language(), "en");
        EXPECT_EQ(PanelRules::silentToggleTitle(1, false), "1 silent app");
    }
    // The core's texts (presets, band names) are translated where they are shown; each needs its
    // entry, which lupdate cannot ask for when a text is not marked.
    QTranslator german;
    ASSERT_TRUE(german.load(":/i18n/voxlane_de.qm"));
    for (EQPreset preset : EQPresets::allCases)
        for (std::string_view text : {EQPresets::title(preset), EQPresets::helpText(preset)})
            EXPECT_FALSE(german.translate("EQPresets", std::string(text).c_str()).isEmpty())
                << text;
    for (std::string_view label : EQ::labels) {
        if (std::isdigit(static_cast<unsigned char>(label[0]))) continue; // "250", "1k"
        EXPECT_FALSE(german.translate("EQ", std::string(label).c_str()).isEmpty()) << label;
    }
}

TEST(PanelRules, CallSubtitleTruncatesTheWholePercentageAndLevelsFindTheirChoice) {
    // 0.29f × 100 is 28.999…: the stored 29 % must not read as 28 %.
    EXPECT_EQ(PanelRules::callSubtitle(false, 0.29f), "Other apps at 29\u00A0%");
    EXPECT_EQ(PanelRules::callSubtitle(false, 0.0f), "Other apps muted");
    EXPECT_EQ(PanelRules::callSubtitle(true, 0.0f), "Other apps at full volume");
    EXPECT_EQ(PanelRules::duckChoiceFor(0.3f), 2u);
    EXPECT_FALSE(PanelRules::duckChoiceFor(0.42f)) << "a stored level no choice has";
    std::string plain(PanelRules::micHotKey());
    std::replace(plain.begin(), plain.end(), '+', ' ');
    EXPECT_EQ(plain, PanelRules::micHotKeyShort()) << "the same keys";
}

} // namespace
} // namespace voxlane
