// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/VolumeKeysModule.h"

#include "engine/MixerEngine.h"
#include "ui/CapsuleButton.h"
#include "ui/Labels.h"
#include "ui/PanelRules.h"

namespace voxlane {

VolumeKeysModule::VolumeKeysModule(MixerEngine& engine, QWidget* parent)
    : NoticeModule(parent), engine_(engine) {
    setSymbol(PanelRules::volumeKeysSymbol);
    subtitleLabel()->setText(qstr(PanelRules::volumeKeysSubtitle));
    button()->setTitle(qstr(PanelRules::volumeKeysButton));
    setAction([this] {
        if (engine_.enableVolumeKeys) engine_.enableVolumeKeys();
    });
    refresh();
}

void VolumeKeysModule::refresh() {
    const auto& output = engine_.defaultOutput();
    titleLabel()->setText(qstr(PanelRules::volumeKeysTitle(
        output ? std::optional<std::string>(output->name) : std::nullopt)));
}

} // namespace voxlane
