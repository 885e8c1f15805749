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
    QPointF at(double frequency, double db) {
        const auto plot = curve()->plot();
        return {EQCurveRules::x(plot, frequency), EQCurveRules::y(plot, db)};
    }
    QPointF atBand(std::size_t band, double db) { return at(EQ::handleFrequencies[band], db); }
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

// The rounding is EQCurveRules' and a drag's way to the engine the panel tests'. The editor
// reports each new setting once, feels zero once, shows the preset the curve is on, resets a
// band on a double click (its first click sets the band, as any click does) and tells a screen
// reader every band.
TEST(EQEditorWidget, ReportsChangesOnceFeelsZeroResetsOnDoubleClickAndReadsEveryBand) {
    EditorProbe probe(EQSettings{EQPreset::custom, {4, 0, 3, 0, 0}});
    press(probe.curve(), probe.atBand(2, 3));
    EXPECT_TRUE(probe.stored.empty()); // 3 dB is what band 2 holds already
    move(probe.curve(), probe.atBand(2, 0.6));
    move(probe.curve(), probe.atBand(2, 0.4));
    release(probe.curve(), probe.atBand(2, 0.4));
    ASSERT_EQ(probe.stored.size(), 1u); // still 0: nothing new to report
    EXPECT_EQ(probe.stored.back(), (EQSettings{EQPreset::custom, {4, 0, 0, 0, 0}}));
    EXPECT_EQ(probe.haptics, 1);
    doubleClick(probe.curve(), probe.at(50, 5));
    EXPECT_EQ(probe.stored.back(), EQSettings::off());
    EXPECT_EQ(probe.selectedChips(), std::vector<EQPreset>{EQPreset::off});
    EXPECT_EQ(probe.haptics, 2);
    probe.editor.setEQ(EQSettings::fromPreset(EQPreset::clarity)); // the owner's setting wins
    EXPECT_EQ(probe.selectedChips(), std::vector<EQPreset>{EQPreset::clarity});
    QAccessibleInterface* element = QAccessible::queryAccessibleInterface(probe.curve());
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->text(QAccessible::Name), "Equalizer");
    EXPECT_EQ(element->text(QAccessible::Value),
              QString::fromStdString(EQCurveRules::accessibilityValue(
                  EQSettings::fromPreset(EQPreset::clarity).gains)));
}

} // namespace
} // namespace voxlane
