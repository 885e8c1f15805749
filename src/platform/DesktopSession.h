// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Translatable.h"

#include <optional>
#include <string>
#include <vector>

namespace voxlane {

// What Voxlane needs to know about the desktop session it runs in, beyond the display.
namespace DesktopSession {

// The desktops XDG_CURRENT_DESKTOP names, in lower case ("ubuntu:GNOME" → ubuntu, gnome).
std::vector<std::string> desktops(const char* xdgCurrentDesktop);
std::vector<std::string> currentDesktops();

// Whether Voxlane runs in a sandbox that can keep it from the audio server: a Flatpak (which has
// /.flatpak-info) or a Snap ($SNAP). Outside one, PipeWire lets every program of the user hear
// every other, and there is no access to ask for.
bool sandboxed(bool flatpakInfoExists, const char* snap);
bool currentlySandboxed();

// The program that shows the desktop's sound settings, as an argument list: GNOME's, KDE's,
// Cinnamon's or MATE's on those desktops, else pavucontrol (or pavucontrol-qt) when installed;
// empty when nothing is known. `installed` tells whether a program is on the PATH.
std::vector<std::string> soundSettingsCommand(const std::vector<std::string>& desktops,
                                              bool (*installed)(const std::string& program));
// What the user is told to open when there is no such program (translated where shown).
inline constexpr const char* soundSettingsHint =
    VOXLANE_TRANSLATE_NOOP("DesktopSession", "Open your desktop\u2019s sound settings");
bool onPath(const std::string& program);

// A program of the desktop that holds the keyboard's volume keys, found among the running
// processes' names, and where its user turns them off.
struct KeyHolder {
    std::string name;
    std::string whereToFree;
    bool operator==(const KeyHolder&) const = default;
};
std::optional<KeyHolder> volumeKeyHolder(const std::vector<std::string>& processNames);
// The short names of the running processes (/proc/*/comm).
std::vector<std::string> runningProcessNames();

} // namespace DesktopSession
} // namespace voxlane
