// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ErrorModule.h"

#include "engine/MixerEngine.h"
#include "ui/CapsuleButton.h"
#include "ui/Labels.h"

#include <QLabel>

namespace voxlane {

ErrorModule::ErrorModule(MixerEngine& engine, QWidget* parent)
    : NoticeModule(parent), engine_(engine) {
    setSymbol("waveform-warning");
    titleLabel()->setText(tr("Something went wrong"));
    subtitleLabel()->setWordWrap(true);
    button()->setTitle(tr("OK"));
    setAction([this] { engine_.clearLastError(); });
    refresh();
}

void ErrorModule::refresh() {
    subtitleLabel()->setText(qstr(engine_.lastError().value_or("")));
}

} // namespace voxlane
