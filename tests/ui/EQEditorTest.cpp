// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/EQEditor.h"

#include "engine/EQ.h"
#include "support/Widgets.h"
#include "ui/EQCurve.h"
#include "ui/PresetChip.h"

#include <QAccessible>
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
    // The pointer at a frequency or a band's handle and the height of `db` on the plot.
    QPointF at(double frequency, double db) {
        const auto plot = curve()->plot();
        return {EQCurveRules::x(plot, frequency), EQCurveRules::y(plot, db)};
    }
    QPointF atBand(std::size_t band, double db) { return at(EQ::handleFrequencies[band], db); }
    std::vector<float> lastGains() const { return stored.back().gains; }
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

// The rounding and the preset recognition are EQCurveRules'; the editor reports each new
// setting once, feels zero once, and reselects a preset's chip when the curve is back on it.
TEST(EQEditorWidget, DragReportsRoundedChangesAndReselectsAPresetCurve) {
    EditorProbe probe(EQSettings{EQPreset::custom, {0, 0, 3, 0, 0}});
    press(probe.curve(), probe.atBand(2, 3));
    EXPECT_TRUE(probe.stored.empty()); // 3 dB is what band 2 holds already
    move(probe.curve(), probe.atBand(2, 0.6));
    EXPECT_EQ(probe.lastGains()[2], 0.0f);
    EXPECT_EQ(probe.haptics, 1);
    EXPECT_EQ(probe.stored.back().preset, EQPreset::off); // all flat again
    EXPECT_EQ(probe.selectedChips(), std::vector<EQPreset>{EQPreset::off});
    move(probe.curve(), probe.atBand(2, 0.4));
    EXPECT_EQ(probe.stored.size(), 1u); // still 0: nothing new to report
    EXPECT_EQ(probe.haptics, 1);
    move(probe.curve(), probe.atBand(2, 6));
    EXPECT_TRUE(probe.selectedChips().empty());
    release(probe.curve(), probe.atBand(2, 6));
    EXPECT_EQ(probe.stored.back(), (EQSettings{EQPreset::custom, {0, 0, 6, 0, 0}}));
    EXPECT_EQ(probe.editor.eq(), probe.stored.back());

    // The owner's setting wins when it sets one.
    probe.editor.setEQ(EQSettings::fromPreset(EQPreset::clarity));
    EXPECT_EQ(probe.selectedChips(), std::vector<EQPreset>{EQPreset::clarity});
}

// The first click of the pair sets band 0 to the click's height, as any click does; the double
// click puts it back to 0 dB. A screen reader hears every band.
TEST(EQEditorWidget, DoubleClickResetsTheNearestBandAndAccessibilityReadsEveryBand) {
    EditorProbe probe(EQSettings{EQPreset::custom, {4, 2, 0, 0, 0}});
    doubleClick(probe.curve(), probe.at(50, 5));
    EXPECT_EQ(probe.curve()->gains()[0], 0.0f);
    EXPECT_EQ(probe.stored.back(), (EQSettings{EQPreset::custom, {0, 2, 0, 0, 0}}));
    EXPECT_EQ(probe.haptics, 1);
    QAccessibleInterface* element = QAccessible::queryAccessibleInterface(probe.curve());
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->text(QAccessible::Name), "Equalizer");
    EXPECT_EQ(element->text(QAccessible::Value), "Low 0 dB, 250 2 dB, 1k 0 dB, 4k 0 dB, High 0 dB");
}

} // namespace
} // namespace voxlane
