// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/OnboardingView.h"

#include <QPointer>
#include <functional>

namespace voxlane {

class Defaults;
class MixerEngine;

// The first-run window: shown until the user completes it; completing marks the first run done
// ("onboardingCompleted"), closes the window and then calls the caller's onFinish. Closing it
// with the window's close button leaves the first run to be done at the next launch.
class OnboardingWindowController {
public:
    static constexpr const char* completedKey = "onboardingCompleted";

    OnboardingWindowController(Defaults& defaults, OnboardingView::Actions actions);
    ~OnboardingWindowController();
    OnboardingWindowController(const OnboardingWindowController&) = delete;
    OnboardingWindowController& operator=(const OnboardingWindowController&) = delete;

    void show(MixerEngine& engine, std::function<void()> onFinish);
    // The window while it is shown.
    OnboardingView* window() const { return window_; }

private:
    Defaults& defaults_;
    OnboardingView::Actions actions_;
    QPointer<OnboardingView> window_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace voxlane
