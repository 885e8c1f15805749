// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/VolumeKeysModule.h"

#include "engine/MixerEngine.h"
#include "ui/CapsuleButton.h"
#include "ui/Labels.h"
#include "ui/PanelRules.h"

namespace voxlane {

VolumeKeysModule::VolumeKeysModule(MixerEngine& engine, std::function<void()> enable,
                                   QWidget* parent)
    : NoticeModule(parent), engine_(engine) {
    setSymbol(PanelRules::volumeKeysSymbol);
    button()->setTitle(qstr(PanelRules::volumeKeysButton()));
    setAction([enable = std::move(enable)] {
        if (enable) enable();
    });
    refresh();
}

void VolumeKeysModule::setDesktop(bool canGrab, HolderLookup holder) {
    canGrab_ = canGrab;
    holder_ = std::move(holder);
    refresh();
}

void VolumeKeysModule::refresh() {
    const auto& output = engine_.defaultOutput();
    titleLabel()->setText(qstr(PanelRules::volumeKeysTitle(
        output ? std::optional<std::string>(output->name) : std::nullopt)));
    const auto holder = canGrab_ && holder_ ? holder_() : std::nullopt;
    const auto name = holder ? std::optional<std::string>(holder->name) : std::nullopt;
    const auto where = holder ? std::optional<std::string>(holder->whereToFree) : std::nullopt;
    subtitleLabel()->setText(qstr(PanelRules::volumeKeysSubtitle(name, canGrab_)));
    setToolTip(qstr(PanelRules::volumeKeysHelp(name, where, canGrab_)));
    button()->setVisible(canGrab_);
}

} // namespace voxlane
