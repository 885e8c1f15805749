// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/SoundModule.h"

#include "engine/MixerEngine.h"
#include "ui/AppRow.h"
#include "ui/DeviceMenu.h"
#include "ui/ElidedLabel.h"
#include "ui/Fader.h"
#include "ui/GhostButton.h"
#include "ui/Labels.h"
#include "ui/PanelRules.h"
#include "ui/Percent.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace voxlane {

SoundModule::SoundModule(MixerEngine& engine, std::function<void()> openDevicesWindow,
                         QWidget* parent)
    : GlassModule(parent, Theme::moduleRadius), engine_(engine) {
    auto* stack = new QVBoxLayout(this);
    // The same insets as the apps' module, so that "Sound" and "Apps" line up.
    stack->setContentsMargins(16, 14, 12, 12);
    stack->setSpacing(2);
    auto* header = new QHBoxLayout;
    header->addWidget(makeLabel(tr("Sound"), Theme::title(), Theme::primary()));
    header->addStretch();
    percent_ = makeLabel("", Theme::value(), Theme::secondary());
    header->addWidget(percent_);
    header->addSpacing(4);
    stack->addLayout(header);
    device_ = makeLabel<ElidedLabel>("", Theme::detail(), Theme::secondary());
    stack->addWidget(device_);
    stack->addSpacing(6);

    auto* controls = new QHBoxLayout;
    controls->setSpacing(AppRow::iconGap);
    mute_ = new GhostButton("", "");
    mute_->setAction([this] { engine_.setMasterMuted(!engine_.masterMuted()); });
    fader_ = new Fader(1.0f);
    fader_->setAccessibilityLabel(tr("Master volume"));
    fader_->setOnValueChanged([this](float v) { engine_.setMasterVolume(v); });
    menu_ = new DeviceMenu(engine_, std::move(openDevicesWindow));
    // The mute button stands in the column of the apps' icons, so that the master fader starts
    // where theirs do.
    auto* muteColumn = new QHBoxLayout;
    muteColumn->setContentsMargins(0, 0, 0, 0);
    muteColumn->addWidget(mute_, 0, Qt::AlignCenter);
    auto* muteBox = new QWidget;
    muteBox->setFixedWidth(AppRow::iconSize);
    muteBox->setLayout(muteColumn);
    controls->addWidget(muteBox);
    controls->addWidget(fader_, 1);
    controls->addWidget(menu_);
    stack->addLayout(controls);
    refresh();
}

void SoundModule::refresh() {
    const auto& output = engine_.defaultOutput();
    device_->setText(qstr(
        PanelRules::outputName(output ? std::optional<std::string>(output->name) : std::nullopt,
                               engine_.serverConnected())));
    // A volume nobody could read is shown as unknown, not as a made-up level.
    const bool known = engine_.masterVolumeKnown();
    percent_->setText(known ? qstr(percent(engine_.masterVolume())) : QStringLiteral("\u2013"));
    fader_->setValue(known ? engine_.masterVolume() : 0.0f);
    fader_->setEnabled(known);
    fader_->setDimmed(engine_.masterMuted());
    mute_->setSymbol(qstr(PanelRules::masterMuteSymbol(engine_.masterMuted())));
    mute_->setHelp(engine_.masterMuted() ? tr("Unmute") : tr("Mute"));
}

} // namespace voxlane
