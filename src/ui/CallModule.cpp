// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/CallModule.h"

#include "engine/MixerEngine.h"
#include "ui/AppIcon.h"
#include "ui/CapsuleButton.h"
#include "ui/Labels.h"
#include "ui/PanelRules.h"

namespace voxlane {

CallModule::CallModule(MixerEngine& engine, QWidget* parent)
    : NoticeModule(parent), engine_(engine) {
    setAction([this] {
        engine_.setDuckingPausedForCall(!engine_.duckingPausedForCall());
        engine_.reconcile();
    });
    refresh();
}

void CallModule::refresh() {
    const auto& call = engine_.activeCall();
    if (!call) return;
    iconLabel()->setPixmap(appIcon(*call, 22));
    titleLabel()->setText(qstr(PanelRules::callTitle(call->name)));
    subtitleLabel()->setText(
        qstr(PanelRules::callSubtitle(engine_.duckingPausedForCall(), engine_.duckLevel())));
    button()->setTitle(qstr(PanelRules::callButton(engine_.duckingPausedForCall())));
}

} // namespace voxlane
