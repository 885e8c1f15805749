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
    setAction([this] { engine_.requestAudioAccess(); });
    refresh();
}

void AccessModule::setSandboxed(bool sandboxed) {
    sandboxed_ = sandboxed;
    refresh();
}

void AccessModule::refresh() {
    const auto access = engine_.audioAccess();
    titleLabel()->setText(qstr(PanelRules::accessTitle(sandboxed_)));
    subtitleLabel()->setText(qstr(PanelRules::accessSubtitle(access, sandboxed_)));
    button()->setTitle(qstr(PanelRules::accessButton(access)));
    button()->setBusy(PanelRules::accessBusy(access));
}

} // namespace voxlane
