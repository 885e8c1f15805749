// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AccessModule.h"

#include "engine/MixerEngine.h"
#include "ui/CapsuleButton.h"
#include "ui/Labels.h"
#include "ui/PanelRules.h"

namespace voxlane {

AccessModule::AccessModule(MixerEngine& engine, QWidget* parent)
    : NoticeModule(parent), engine_(engine) {
    setSymbol(PanelRules::accessSymbol);
    titleLabel()->setText(qstr(PanelRules::accessTitle));
    setAction([this] { engine_.requestAudioAccess(); });
    refresh();
}

void AccessModule::refresh() {
    const auto access = engine_.audioAccess();
    subtitleLabel()->setText(qstr(PanelRules::accessSubtitle(access)));
    button()->setTitle(qstr(PanelRules::accessButton(access)));
    button()->setBusy(PanelRules::accessBusy(access));
}

} // namespace voxlane
