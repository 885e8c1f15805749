// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/OnboardingWindowController.h"

#include "app/StatusIcons.h"
#include "app/WindowPlacement.h"
#include "platform/Defaults.h"

#include <QCoreApplication>

namespace voxlane {

OnboardingWindowController::OnboardingWindowController(Defaults& defaults,
                                                       OnboardingView::Actions actions)
    : defaults_(defaults), actions_(std::move(actions)) {}

OnboardingWindowController::~OnboardingWindowController() {
    delete window_.data();
}

void OnboardingWindowController::show(MixerEngine&, std::function<void()> onFinish) {
    // A window still open from before gives way to the new one.
    if (window_) window_->deleteLater();
    auto finish = [this, alive = std::weak_ptr<bool>(alive_), onFinish = std::move(onFinish)] {
        if (alive.expired()) return;
        defaults_.setBoolean(completedKey, true);
        if (window_) {
            window_->close();
            window_->deleteLater();
            window_ = nullptr;
        }
        if (onFinish) onFinish();
    };
    window_ =
        new OnboardingView(defaults_, StatusIcons::applicationIcon(), actions_, std::move(finish));
    window_->setWindowTitle(
        QCoreApplication::translate("OnboardingWindowController", "Welcome to Voxlane"));
    // Its paragraphs wrap: the height is the one for its width.
    const int width = window_->sizeHint().width();
    window_->resize(width, window_->hasHeightForWidth() ? window_->heightForWidth(width)
                                                        : window_->sizeHint().height());
    WindowPlacement::centre(*window_);
    bringToFront(*window_);
}

} // namespace voxlane
