// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DisplayPlatform.h"

#include <cstdlib>

namespace voxlane::DisplayPlatform {
namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

constexpr const char* noXWayland =
    "Wayland-Sitzung ohne XWayland: das Panel ist ein gewöhnliches Fenster in der "
    "Bildschirmmitte, die Lautstärkeanzeige steht, wo der Compositor sie hinstellt";

} // namespace

Environment Environment::current() {
    return {variable("QT_QPA_PLATFORM"), variable("WAYLAND_DISPLAY"), variable("DISPLAY")};
}

Choice choose(const Environment& env) {
    if (!env.qtPlatform.empty()) {
        // The user's choice stands; say what it costs.
        if (!placesWindows(env.qtPlatform))
            return {"", "QT_QPA_PLATFORM=" + env.qtPlatform +
                            ": das Panel ist ein gewöhnliches Fenster in der Bildschirmmitte"};
        return {};
    }
    const bool wayland = !env.waylandDisplay.empty();
    if (!wayland) return {}; // X11 (or nothing, which the caller reports)
    if (!env.x11Display.empty()) return {"xcb", ""};
    return {"wayland", noXWayland};
}

bool placesWindows(std::string_view name) {
    // "wayland", "wayland-egl", "wayland-brcm" and the like; a list ("wayland;xcb") counts by its
    // first entry, which Qt tries first.
    return !name.starts_with("wayland");
}

} // namespace voxlane::DisplayPlatform
