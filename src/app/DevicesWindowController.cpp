// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DevicesWindowController.h"

#include "app/WindowPlacement.h"
#include "ui/DevicesView.h"

#include <QCoreApplication>

namespace voxlane {

DevicesWindowController::~DevicesWindowController() {
    delete window_.data();
}

DevicesView* DevicesWindowController::window() const {
    return window_;
}

void DevicesWindowController::show(MixerEngine& engine) {
    if (!window_) {
        window_ = new DevicesView(engine);
        window_->setWindowTitle(QCoreApplication::translate("DevicesWindowController", "Devices"));
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        window_->resize(window_->sizeHint());
        WindowPlacement::centre(*window_);
    }
    bringToFront(*window_);
}

} // namespace voxlane
