// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/EQEditor.h"

#include "engine/EQ.h"
#include "support/Widgets.h"
#include "ui/EQCurve.h"
#include "ui/PresetChip.h"

#include <QAccessible>
#include <QTest>
#include <gtest/gtest.h>
#include <vector>

namespace voxlane {
namespace {

using namespace test;

// An editor at the panel's row width, recording every setting it reports.
struct EditorProbe {
    explicit EditorProbe(const EQSettings& eq) : editor("app.one", eq) {
        editor.resize(268, editor.sizeHint().height());
        editor.setOnChange([this](const EQSettings& s) { stored.push_back(s); });
        editor.curve()->setOnHaptic([this] { ++haptics; });
    }
    EQCurve* curve() { return editor.curve(); }
    // The pointer at band `band`'s handle column and the height of `db` on the plot.
    QPointF at(double frequency, double db) {
        const auto plot = curve()->plot();
        return {EQCurveRules::x(plot, frequency), EQCurveRules::y(plot, db)};
    }
    QPointF atBand(std::size_t band, double db) { return at(EQ::handleFrequencies[band], db); }
    std::vector<float> lastGains() const { return stored.back().gains; }
    // The chips that show as selected.
    std::vector<EQPreset> selectedChips() const {
        std::vector<EQPreset> selected;
        for (EQPreset p : EQEditor::chipPresets)
            if (editor.chip(p)->isSelected()) selected.push_back(p);
        return selected;
    }

    EQEditor editor;
    std::vector<EQSettings> stored;
    int haptics = 0;
};

TEST(EQEditorWidget, DragRoundsToHalfDecibelsWithADeadZone) {
    EditorProbe probe(EQSettings{EQPreset::custom, {0, 0, 3, 0, 0}});
    press(probe.curve(), probe.atBand(2, 3));
    EXPECT_EQ(probe.curve()->activeBand(), 2u);
    EXPECT_TRUE(probe.stored.empty()); // 3 dB is what band 2 holds already

    move(probe.curve(), probe.atBand(2, 0.6));
    EXPECT_EQ(probe.lastGains()[2], 0.0f);
    EXPECT_EQ(probe.haptics, 1);
    EXPECT_EQ(probe.stored.back().preset, EQPreset::off); // all flat again
    move(probe.curve(), probe.atBand(2, 0.4));
    EXPECT_EQ(probe.stored.size(), 1u); // still 0: nothing new to report
    EXPECT_EQ(probe.haptics, 1);

    move(probe.curve(), probe.atBand(2, 40)); // far above the view
    EXPECT_EQ(probe.curve()->gains()[2], 12.0f);
    release(probe.curve(), probe.atBand(2, 40));
    EXPECT_EQ(probe.curve()->activeBand(), std::nullopt);
    EXPECT_EQ(probe.stored.back().preset, EQPreset::custom);
    EXPECT_EQ(probe.editor.eq().gains, probe.lastGains());
}

TEST(EQEditorWidget, DoubleClickResetsTheNearestBand) {
    EditorProbe probe(EQSettings{EQPreset::custom, {4, 0, 0, 0, 0}});
    // The first click of the pair sets band 0 to the click's height, as any click does; the
    // double click puts it back to 0 dB.
    doubleClick(probe.curve(), probe.at(50, 5));
    EXPECT_EQ(probe.curve()->gains()[0], 0.0f);
    EXPECT_EQ(probe.stored.back().preset, EQPreset::off);
    EXPECT_EQ(probe.selectedChips(), std::vector<EQPreset>{EQPreset::off});
    EXPECT_EQ(probe.haptics, 1);
}

TEST(EQEditorWidget, DraggingBackOntoAPresetCurveReselectsIt) {
    EditorProbe probe(EQSettings::fromPreset(EQPreset::voice));
    press(probe.curve(), probe.atBand(3, 4));
    move(probe.curve(), probe.atBand(3, 6));
    EXPECT_EQ(probe.stored.back().preset, EQPreset::custom);
    EXPECT_TRUE(probe.selectedChips().empty());
    move(probe.curve(), probe.atBand(3, 4));
    release(probe.curve(), probe.atBand(3, 4));
    EXPECT_EQ(probe.stored.back(), EQSettings::fromPreset(EQPreset::voice));
    EXPECT_EQ(probe.selectedChips(), std::vector<EQPreset>{EQPreset::voice});
    // The owner's setting wins when it sets one.
    probe.editor.setEQ(EQSettings::fromPreset(EQPreset::clarity));
    EXPECT_EQ(probe.selectedChips(), std::vector<EQPreset>{EQPreset::clarity});
}

// Hovering changes nothing; a screen reader hears every band.
TEST(EQEditorWidget, HoverFollowsTheNearestHandleAndAccessibilityReadsEveryBand) {
    EditorProbe probe(EQSettings::fromPreset(EQPreset::bass));
    move(probe.curve(), probe.at(3000, 0));
    EXPECT_EQ(probe.curve()->hoverBand(), 3u);
    leave(probe.curve());
    EXPECT_EQ(probe.curve()->hoverBand(), std::nullopt);
    EXPECT_TRUE(probe.stored.empty());
    QAccessibleInterface* element = QAccessible::queryAccessibleInterface(probe.curve());
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->text(QAccessible::Name), "Equalizer");
    EXPECT_EQ(element->text(QAccessible::Value), "Low 6 dB, 250 2 dB, 1k 0 dB, 4k 0 dB, High 0 dB");
}

} // namespace
} // namespace voxlane
