// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace voxlane {

// Which of Qt's window-system platforms Voxlane's windows run on, decided before the
// application object exists.
//
// The panel and the volume display must stand at a place of our choosing and above other
// windows. X11 allows both; a Wayland compositor places windows itself. So in a Wayland session
// that offers XWayland (DISPLAY is set beside WAYLAND_DISPLAY) the windows go through XWayland
// (Qt's xcb platform); without XWayland they stay on Wayland, where the panel is an ordinary
// window in the middle of the screen. A platform the user chose (QT_QPA_PLATFORM) is kept.
namespace DisplayPlatform {

// What the choice depends on: the environment variables of the same names.
struct Environment {
    std::string qtPlatform;     // QT_QPA_PLATFORM
    std::string waylandDisplay; // WAYLAND_DISPLAY
    std::string x11Display;     // DISPLAY

    static Environment current();
};

struct Choice {
    // The platform to ask Qt for; empty leaves Qt's own choice.
    std::string platform;
    // Why the panel cannot be placed, for the log (once, at start-up); empty when it can.
    std::string limitation;
    bool operator==(const Choice&) const = default;
};

Choice choose(const Environment& environment);

// Whether windows on the Qt platform of this name stand where the program puts them (xcb,
// offscreen) or where the compositor does (wayland, wayland-egl, …).
bool placesWindows(std::string_view qtPlatformName);

} // namespace DisplayPlatform
} // namespace voxlane
