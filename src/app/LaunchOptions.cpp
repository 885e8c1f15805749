// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LaunchOptions.h"

namespace voxlane {

LaunchOptions LaunchOptions::parse(const std::vector<std::string>& arguments) {
    LaunchOptions options;
    for (const std::string& argument : arguments) {
        if (argument == "--onboarding") options.onboarding = true;
        if (argument == "--login") options.login = true;
        if (argument == "--demo") options.demo = true;
        if (argument.starts_with("--")) options.anyDoubleDash = true;
    }
    return options;
}

LaunchAction decideLaunch(const LaunchOptions& options, bool onboardingCompleted,
                          bool trayAvailable) {
    if (!onboardingCompleted || options.onboarding) return LaunchAction::showOnboarding;
    if (options.login) return LaunchAction::stayClosed;
    if (options.anyDoubleDash && trayAvailable) return LaunchAction::stayClosed;
    return LaunchAction::openPanelSoon;
}

} // namespace voxlane
