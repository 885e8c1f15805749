// SPDX-License-Identifier: GPL-3.0-or-later
// The views' rules, without any widget.
#include "engine/EQ.h"
#include "ui/AppRowRules.h"
#include "ui/EQCurveRules.h"
#include "ui/ElidedLabel.h"
#include "ui/FaderRules.h"
#include "ui/PanelRules.h"
#include "ui/Paragraph.h"
#include "ui/Theme.h"
#include "ui/Translations.h"

#include <QFontMetricsF>
#include <QTranslator>
#include <algorithm>
#include <cctype>
#include <cmath>
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
    } cases[] = {{103, 200, 2, 1.0f},    {94, 200, 2, 1.0f},       {110, 200, 2, 1.10f},
                 {92, 200, 2, 0.92f},    {150, 200, 2, 1.5f},      {98, 100, 1, 0.98f},
                 {99.5, 100, 1, 0.995f}, {100, 100, 1, 1.0f},      {-30, 200, 2, 0.0f},
                 {260, 200, 2, 2.0f},    {10, 0, 2, std::nullopt}, {10, -5, 2, std::nullopt}};
    for (const auto& c : cases) {
        const auto value = FaderRules::valueAt(c.x, c.width, c.maximum);
        ASSERT_EQ(value.has_value(), c.value.has_value()) << c.x << " on " << c.width;
        if (value) {
            EXPECT_FLOAT_EQ(*value, *c.value) << c.x << " on " << c.width;
        }
    }
}

TEST(FaderRules, UnityFeedbackOncePerArrival) {
    EXPECT_TRUE(FaderRules::arrivesAtUnity(0.9f, 1.0f));
    EXPECT_FALSE(FaderRules::arrivesAtUnity(1.0f, 1.0f));
    EXPECT_FALSE(FaderRules::arrivesAtUnity(0.9f, 1.1f));
}

TEST(FaderRules, StepsStayInsideTheRange) {
    EXPECT_EQ(FaderRules::incremented(1.98f, 2.0f), 2.0f);
    EXPECT_FLOAT_EQ(FaderRules::incremented(1.5f, 2.0f), 1.55f);
    EXPECT_EQ(FaderRules::incremented(0.97f, 1.0f), 1.0f);
    EXPECT_EQ(FaderRules::decremented(0.02f), 0.0f);
    EXPECT_FLOAT_EQ(FaderRules::decremented(0.5f), 0.45f);
}

TEST(FaderRules, FillSplitsAtTheUnityPoint) {
    using S = FaderRules::Segment;
    // App fader, track 200: unity at 100.
    EXPECT_EQ(FaderRules::fillSegments(80, 200, 2.0f), (std::vector<S>{{0, 80, false}}));
    EXPECT_EQ(FaderRules::fillSegments(150, 200, 2.0f),
              (std::vector<S>{{0, 100, false}, {100, 150, true}}));
    EXPECT_EQ(FaderRules::fillSegments(0, 200, 2.0f), std::vector<S>{});
    // The master never shows boost, even at its right end.
    EXPECT_EQ(FaderRules::fillSegments(200, 200, 1.0f), (std::vector<S>{{0, 200, false}}));
    EXPECT_EQ(FaderRules::unityX(200, 2.0f), 100.0);
    EXPECT_EQ(FaderRules::unityX(200, 1.0f), std::nullopt);
}

TEST(FaderRules, MeterLayerScalesTheValueByTheLevel) {
    EXPECT_DOUBLE_EQ(FaderRules::meterEnd(120, 0.5f), 60);
    EXPECT_DOUBLE_EQ(FaderRules::meterEnd(120, std::nullopt), 120);
    EXPECT_DOUBLE_EQ(FaderRules::meterEnd(120, 1.7f), 120);
    EXPECT_DOUBLE_EQ(FaderRules::meterEnd(120, -0.2f), 0);
    EXPECT_DOUBLE_EQ(FaderRules::meterEnd(120, std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(EQCurveRules, RoundsToHalfDecibelsWithADeadZoneAroundZero) {
    // A half step rounds away from zero (0.75, 2.25).
    const std::pair<float, float> cases[] = {{0.6f, 0},   {-0.7f, 0},      {0.8f, 1},
                                             {-0.8f, -1}, {0.75f, 1},      {2.25f, 2.5f},
                                             {3.2f, 3},   {-2.25f, -2.5f}, {12, 12}};
    for (auto [gain, stored] : cases)
        EXPECT_EQ(EQCurveRules::rounded(gain), stored) << gain;
}

TEST(EQCurveRules, MapsFrequencyAndGainOntoThePlot) {
    const EQCurveRules::Plot plot{216, 82};
    EXPECT_DOUBLE_EQ(EQCurveRules::x(plot, 20), 8);
    EXPECT_DOUBLE_EQ(EQCurveRules::x(plot, 20000), 208);
    EXPECT_NEAR(EQCurveRules::x(plot, 632.456), 108, 1e-3); // geometric middle
    EXPECT_DOUBLE_EQ(EQCurveRules::y(plot, 0), 41);
    EXPECT_DOUBLE_EQ(EQCurveRules::y(plot, 12), 10);
    EXPECT_DOUBLE_EQ(EQCurveRules::y(plot, -12), 72);
    EXPECT_FLOAT_EQ(EQCurveRules::dbAt(plot, 10), 12);
    EXPECT_FLOAT_EQ(EQCurveRules::dbAt(plot, 25.5), 6);
    EXPECT_FLOAT_EQ(EQCurveRules::dbAt(plot, -20), 12);  // above the plot
    EXPECT_FLOAT_EQ(EQCurveRules::dbAt(plot, 300), -12); // below it
    EXPECT_EQ(EQCurveRules::dbAt({216, 10}, 3), 0.0f);   // a plot too small to drag in
}

TEST(EQCurveRules, NearestBandPrefersTheLowerBandOnATie) {
    const EQCurveRules::Plot plot{300, 82};
    const double x1k = EQCurveRules::x(plot, 1000), x4k = EQCurveRules::x(plot, 4000);
    EXPECT_EQ(EQCurveRules::nearestBand(plot, 0), 0u);
    EXPECT_EQ(EQCurveRules::nearestBand(plot, x1k + 1), 2u);
    EXPECT_EQ(EQCurveRules::nearestBand(plot, x4k - 1), 3u);
    EXPECT_EQ(EQCurveRules::nearestBand(plot, (x1k + x4k) / 2), 2u);
    EXPECT_EQ(EQCurveRules::nearestBand(plot, 1000), 4u);
}

TEST(EQCurveRules, CurveIsClampedToFourteenDecibelsButHandlesAreNot) {
    const EQCurveRules::Plot plot{300, 82};
    const std::vector<float> gains{12, 12, 12, 12, 12};
    const auto points = EQCurveRules::curvePoints(plot, gains);
    ASSERT_EQ(points.size(), 91u);
    EXPECT_DOUBLE_EQ(points.front().x, 8);
    EXPECT_DOUBLE_EQ(points.back().x, 292);
    double highest = 1e9;
    for (const auto& p : points)
        highest = std::min(highest, p.y);
    EXPECT_DOUBLE_EQ(highest, EQCurveRules::y(plot, 14));
    const auto handles = EQCurveRules::handlePoints(plot, gains);
    EXPECT_LT(handles[2].y, EQCurveRules::y(plot, 14)); // 1 kHz lies far above +14 dB
    EXPECT_NEAR(handles[2].y, EQCurveRules::y(plot, EQ::response(gains, 1000, 48000)), 1e-9);
    // A flat curve lies on the 0 dB line.
    for (const auto& p : EQCurveRules::curvePoints(plot, std::vector<float>(5, 0.0f)))
        EXPECT_NEAR(p.y, 41, 1e-9);
}

TEST(EQCurveRules, SetBandStoresRoundedChangesOnly) {
    std::vector<float> gains{3, 0, 0};
    auto change = EQCurveRules::setBand(gains, 0, 0.6f);
    EXPECT_TRUE(change.changed);
    EXPECT_TRUE(change.reachedZero);
    EXPECT_EQ(gains, (std::vector<float>{0, 0, 0, 0, 0})); // widened to five bands
    change = EQCurveRules::setBand(gains, 0, 0.4f);
    EXPECT_FALSE(change.changed);
    change = EQCurveRules::setBand(gains, 4, 5.3f);
    EXPECT_TRUE(change.changed);
    EXPECT_FALSE(change.reachedZero);
    EXPECT_EQ(gains[4], 5.5f);
    EXPECT_FALSE(EQCurveRules::setBand(gains, 5, 3).changed);
    EXPECT_FALSE(EQCurveRules::setBand(gains, -1, 3).changed);
}

TEST(EQCurveRules, StoredSettingsNameTheirPresetOrAreCustom) {
    const auto& voice = EQPresets::gains(EQPreset::voice);
    EXPECT_EQ(EQCurveRules::settingsFor(voice).preset, EQPreset::voice);
    EXPECT_EQ(EQCurveRules::settingsFor(std::vector<float>{0, 0, 0, 0, 0}).preset, EQPreset::off);
    const std::vector<float> own{-5, -1.5f, 1.5f, 4.5f, 1};
    EXPECT_EQ(EQCurveRules::settingsFor(own), (EQSettings{EQPreset::custom, own}));
    // A short gain list reads as the rest at zero.
    EXPECT_EQ(EQCurveRules::accessibilityValue(std::vector<float>{-1.5f}),
              "Low -1 dB, 250 0 dB, 1k 0 dB, 4k 0 dB, High 0 dB");
}

TEST(AppRowRules, SilencedRowsAreDimmedAndShowNoLevel) {
    using AppRowRules::RowState;
    EXPECT_FALSE(AppRowRules::silenced(RowState{}));
    EXPECT_TRUE(AppRowRules::silenced(RowState{.muted = true}));
    EXPECT_TRUE(AppRowRules::silenced(RowState{.soloActive = true}));
    EXPECT_FALSE(AppRowRules::silenced(RowState{.soloed = true, .soloActive = true}));
    EXPECT_EQ(AppRowRules::rowOpacity(RowState{.soloActive = true}), 0.45);
    EXPECT_EQ(AppRowRules::rowOpacity(RowState{.compact = true}), 0.75);
    EXPECT_EQ(AppRowRules::rowOpacity(RowState{.muted = true, .compact = true}), 0.45);
    EXPECT_EQ(AppRowRules::rowOpacity(RowState{}), 1.0);
    EXPECT_EQ(AppRowRules::meterLevel(0.6f, false), 0.6f);
    EXPECT_EQ(AppRowRules::meterLevel(0.6f, true), 0.0f);
    EXPECT_EQ(AppRowRules::meterLevel(std::nullopt, false), 0.0f);
}

TEST(AppRowRules, ButtonsShowWhileHoveredOrInUse) {
    using AppRowRules::Buttons;
    using AppRowRules::RowState;
    EXPECT_EQ(AppRowRules::visibleButtons(RowState{}), (Buttons{false, false, false}));
    EXPECT_EQ(AppRowRules::visibleButtons(RowState{.hovering = true}), (Buttons{true, true, true}));
    EXPECT_EQ(AppRowRules::visibleButtons(RowState{.focused = true}), (Buttons{true, true, true}));
    EXPECT_EQ(AppRowRules::visibleButtons(RowState{.compact = true, .focused = true}),
              (Buttons{false, false, true}));
    EXPECT_EQ(AppRowRules::visibleButtons(RowState{.compact = true, .hovering = true}),
              (Buttons{false, false, true}));
    EXPECT_EQ(AppRowRules::visibleButtons(RowState{.muted = true}), (Buttons{false, false, true}));
    EXPECT_EQ(AppRowRules::visibleButtons(RowState{.soloed = true, .soloActive = true}),
              (Buttons{false, true, false}));
    EXPECT_EQ(AppRowRules::visibleButtons(RowState{.eqOpen = true}), (Buttons{true, false, false}));
}

TEST(AppRowRules, SoloTogglesOnlyTheSameApp) {
    EXPECT_EQ(AppRowRules::presetShortName(EQPreset::off), "") << "a flat equaliser says nothing";
    EXPECT_EQ(AppRowRules::toggledSolo(std::nullopt, "a"), "a");
    EXPECT_EQ(AppRowRules::toggledSolo("b", "a"), "a");
    EXPECT_EQ(AppRowRules::toggledSolo("a", "a"), std::nullopt);
}

TEST(PanelRules, ConditionalModules) {
    using S = AudioPermission::Status;
    using PanelRules::visibleModules;
    EXPECT_EQ(visibleModules(false, false, S::granted, false, true, false), PanelRules::Modules{});
    EXPECT_TRUE(visibleModules(true, false, S::granted, false, true, false).volumeKeys);
    EXPECT_FALSE(visibleModules(true, true, S::granted, false, true, false).volumeKeys)
        << "keys ready";
    // Without access the access notice shows (where it is to be shown), not the keys one.
    EXPECT_EQ(visibleModules(true, false, S::denied, false, true, true),
              (PanelRules::Modules{false, true, false}));
    EXPECT_EQ(visibleModules(true, false, S::unknown, false, true, false), PanelRules::Modules{});
    EXPECT_TRUE(visibleModules(false, false, S::granted, true, true, false).call);
    EXPECT_FALSE(visibleModules(false, false, S::granted, true, false, false).call)
        << "lowering off";
}

TEST(PanelRules, TheAccessNoticeShowsOnlyWhereAccessCanBeMissing) {
    using S = AudioPermission::Status;
    using PanelRules::accessNoticeShown;
    // In a sandbox: until access is granted.
    for (S s : {S::unknown, S::checking, S::denied})
        EXPECT_TRUE(accessNoticeShown(s, true, false));
    EXPECT_FALSE(accessNoticeShown(S::granted, true, true));
    // On an ordinary session: not for the quiet first check, but after a failed one, and while
    // the user's next check runs.
    EXPECT_FALSE(accessNoticeShown(S::unknown, false, false));
    EXPECT_FALSE(accessNoticeShown(S::checking, false, false));
    EXPECT_TRUE(accessNoticeShown(S::denied, false, false));
    EXPECT_TRUE(accessNoticeShown(S::checking, false, true));
    EXPECT_FALSE(accessNoticeShown(S::granted, false, true));
}

TEST(PanelRules, NoticesSayWhatIsMissingAndWhoHoldsTheKeys) {
    using S = AudioPermission::Status;
    EXPECT_NE(PanelRules::volumeKeysHelp(std::nullopt, std::nullopt, false).find("Wayland"),
              std::string::npos);
    EXPECT_NE(PanelRules::accessSubtitle(S::denied, true),
              PanelRules::accessSubtitle(S::unknown, true));
    EXPECT_NE(PanelRules::accessButton(S::denied), PanelRules::accessButton(S::unknown));
    EXPECT_TRUE(PanelRules::accessBusy(S::checking));
    EXPECT_FALSE(PanelRules::accessBusy(S::denied));
    EXPECT_EQ(PanelRules::silentToggleTitle(1, false), "1 silent app");
    EXPECT_EQ(PanelRules::silentToggleTitle(2, false), "2 silent apps");
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

TEST(PanelRules, CallSubtitleTruncatesTheWholePercentage) {
    EXPECT_EQ(PanelRules::callTitle("Zoom"), "On a call \u00B7 Zoom");
    EXPECT_EQ(PanelRules::callSubtitle(false, 0.2f), "Other apps at 20\u00A0%");
    // 0.29f × 100 is 28.999…: the stored 29 % must not read as 28 %.
    EXPECT_EQ(PanelRules::callSubtitle(false, 0.29f), "Other apps at 29\u00A0%");
    EXPECT_EQ(PanelRules::callSubtitle(false, 0.0f), "Other apps muted");
    EXPECT_EQ(PanelRules::callSubtitle(true, 0.0f), "Other apps at full volume");
}

TEST(PanelRules, TheHotKeyReadsAlikeEverywhereAndLevelsFindTheirChoice) {
    std::string plain(PanelRules::micHotKey());
    std::replace(plain.begin(), plain.end(), '+', ' ');
    EXPECT_EQ(plain, PanelRules::micHotKeyShort()) << "the same keys";
    EXPECT_EQ(PanelRules::duckChoiceFor(0.3f), 2u);
    EXPECT_EQ(PanelRules::duckChoiceFor(0.0f), 4u);
    EXPECT_FALSE(PanelRules::duckChoiceFor(0.42f)) << "a stored level no choice has";
}

TEST(FaderRules, AWheelNotchIsOneStepAndSmallTurnsAddUp) {
    int turn = 120;
    EXPECT_EQ(FaderRules::wheelSteps(turn), 1);
    EXPECT_EQ(turn, 0);
    turn = 60;
    EXPECT_EQ(FaderRules::wheelSteps(turn), 0);
    turn += 70;
    EXPECT_EQ(FaderRules::wheelSteps(turn), 1);
    EXPECT_EQ(turn, 10) << "the rest waits for the next turn";
    turn = -250;
    EXPECT_EQ(FaderRules::wheelSteps(turn), -2);
    EXPECT_EQ(turn, -10);
}

TEST(EQCurveRules, ArrowKeysStepHalfDecibelsAndLeaveZeroForOne) {
    EXPECT_EQ(EQCurveRules::keyStep(0, 1), 1.0f);
    EXPECT_EQ(EQCurveRules::keyStep(0, -1), -1.0f);
    EXPECT_EQ(EQCurveRules::keyStep(1.0f, 1), 1.5f);
    // Down from 1 dB: 0.5, which the dead zone stores as 0.
    EXPECT_EQ(EQCurveRules::rounded(EQCurveRules::keyStep(1.0f, -1)), 0.0f);
    EXPECT_EQ(EQCurveRules::keyStep(12.0f, 1), 12.0f);
    EXPECT_EQ(EQCurveRules::keyStep(-12.0f, -1), -12.0f);
}

TEST(TextFit, ALineThatDoesNotFitEndsInAnEllipsis) {
    const QFontMetricsF metrics(Theme::name());
    const QString name = "VLC media player";
    const qreal whole = metrics.horizontalAdvance(name);
    EXPECT_EQ(ElidedLabel::elided(name, metrics, whole), name) << "its own width fits";
    EXPECT_EQ(ElidedLabel::elided(name, metrics, whole + 40), name);
    const QString cut = ElidedLabel::elided(name, metrics, whole / 2);
    EXPECT_TRUE(cut.endsWith(QChar(0x2026))) << cut.toStdString();
    EXPECT_TRUE(name.startsWith(cut.chopped(1)));
    EXPECT_LE(metrics.horizontalAdvance(cut), whole / 2);
    EXPECT_FALSE(ElidedLabel::elided(name, metrics, 0).contains("VLC"));

    ElidedLabel label(name);
    label.setFont(Theme::name());
    label.resize(int(whole / 2), 20);
    EXPECT_TRUE(label.isElided());
    EXPECT_EQ(label.text(), name) << "the text is kept whole";
    EXPECT_EQ(label.toolTipNow(), name);
    EXPECT_LT(label.minimumSizeHint().width(), int(whole / 4)) << "it yields its room";
    label.resize(int(whole) + 4, 20);
    EXPECT_FALSE(label.isElided());
    EXPECT_TRUE(label.toolTipNow().isEmpty());
}

TEST(TextFit, NoWordIsLeftAloneOnTheLastLine) {
    const QFont font = Theme::detail();
    const QString text = "Music fades down automatically while you\u2019re on a call.";
    const QFontMetricsF metrics(font);
    const int whole = int(metrics.horizontalAdvance(text));
    // Find a width at which the plain wrap leaves the last word alone.
    int lonely = 0;
    for (int w = whole - 1; w > whole / 2 && !lonely; --w) {
        const QStringList lines = Paragraph::lines(text, font, w);
        if (lines.size() == 2 && !lines.back().contains(' ')) lonely = w;
    }
    ASSERT_GT(lonely, 0);
    const int measure = Paragraph::measure(text, font, lonely);
    EXPECT_LT(measure, lonely);
    const QStringList set = Paragraph::lines(text, font, measure);
    EXPECT_EQ(set.size(), 2) << "no more lines";
    EXPECT_TRUE(set.back().contains(' ')) << set.back().toStdString();
    // A paragraph that wraps well keeps its full measure.
    EXPECT_EQ(Paragraph::measure(text, font, whole + 10), whole + 10);
}

} // namespace
} // namespace voxlane
