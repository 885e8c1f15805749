// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace voxlane {

// What the command line asks of a launch. `arguments` excludes the program name.
//
//   --onboarding  show the first-run window even after it was completed
//   --login       started by the autostart entry at login
//   --demo        run on the simulated audio server with demo applications
// Any argument beginning with "--" keeps the panel from opening by itself.
struct LaunchOptions {
    bool onboarding = false;
    bool login = false;
    bool demo = false;
    bool anyDoubleDash = false;

    static LaunchOptions parse(const std::vector<std::string>& arguments);
};

// What a launch does once the shell is up.
enum class LaunchAction {
    showOnboarding, // the first-run window; the panel opens when it finishes
    openPanelSoon,  // the panel opens 0.4 s after launch
    stayClosed,     // only the tray item is shown
};

// The first-run decision: the first-run window until it was completed (or when asked for);
// otherwise the panel opens by itself only on a hand-started launch without "--" arguments.
// Without a tray the panel is the only way in, so it opens on every launch but a login one.
LaunchAction decideLaunch(const LaunchOptions& options, bool onboardingCompleted,
                          bool trayAvailable);

} // namespace voxlane
