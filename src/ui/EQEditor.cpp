// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/EQEditor.h"

#include "engine/EQ.h"
#include "ui/EQCurve.h"
#include "ui/EQCurveRules.h"
#include "ui/PresetChip.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QVBoxLayout>

namespace voxlane {

EQEditor::EQEditor(const QString& appID, const EQSettings& eq, QWidget* parent)
    : QWidget(parent), appID_(appID), eq_(eq), curve_(new EQCurve(this, 20, 20000, 14)) {
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 8, 0, 4);
    stack->setSpacing(10);
    curve_->setFixedHeight(96);
    curve_->setGains(eq.gains);
    curve_->setOnChange(
        [this](const std::vector<float>& gains) { change(EQCurveRules::settingsFor(gains)); });
    stack->addWidget(curve_);

    auto* grid = new QGridLayout;
    grid->setSpacing(6);
    for (std::size_t i = 0; i < chipPresets.size(); ++i) {
        const EQPreset preset = chipPresets[i];
        chips_[i] = new PresetChip(
            QCoreApplication::translate("EQPresets", EQPresets::title(preset).data()),
            QCoreApplication::translate("EQPresets", EQPresets::helpText(preset).data()),
            eq.preset == preset, [this, preset] { change(EQSettings::fromPreset(preset)); }, this);
        grid->addWidget(chips_[i], int(i / 3), int(i % 3));
    }
    for (int column = 0; column < 3; ++column)
        grid->setColumnStretch(column, 1);
    stack->addLayout(grid);
}

void EQEditor::setEQ(const EQSettings& eq) {
    eq_ = eq;
    curve_->setGains(eq.gains);
    for (std::size_t i = 0; i < chipPresets.size(); ++i)
        chips_[i]->setSelected(eq.preset == chipPresets[i]);
}

PresetChip* EQEditor::chip(EQPreset preset) const {
    for (std::size_t i = 0; i < chipPresets.size(); ++i)
        if (chipPresets[i] == preset) return chips_[i];
    return nullptr;
}

std::optional<EQPreset> EQEditor::matchingPreset(std::span<const float> gains) {
    return EQ::matchingPreset(gains);
}

void EQEditor::change(const EQSettings& eq) {
    setEQ(eq);
    if (onChange_) onChange_(eq_);
}

} // namespace voxlane
