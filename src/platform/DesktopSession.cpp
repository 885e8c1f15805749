// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DesktopSession.h"

#include "platform/Translatable.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace voxlane::DesktopSession {
namespace {

bool has(const std::vector<std::string>& desktops, std::string_view name) {
    return std::find(desktops.begin(), desktops.end(), name) != desktops.end();
}

struct KnownHolder {
    std::string_view process;
    std::string_view name;
    std::string_view whereToFree;
};

// More specific entries first: a desktop's key daemon before its shell or panel. The views show
// the names and places translated.
constexpr std::array<KnownHolder, 12> knownHolders{{
    {"gsd-media-keys", VOXLANE_TRANSLATE_NOOP("DesktopSession", "GNOME\u2019s media keys"),
     VOXLANE_TRANSLATE_NOOP(
         "DesktopSession",
         "Settings \u2192 Keyboard \u2192 Keyboard Shortcuts \u2192 Sound and Media")},
    {"gnome-shell", "GNOME Shell",
     VOXLANE_TRANSLATE_NOOP(
         "DesktopSession",
         "Settings \u2192 Keyboard \u2192 Keyboard Shortcuts \u2192 Sound and Media")},
    {"kglobalacceld", VOXLANE_TRANSLATE_NOOP("DesktopSession", "KDE\u2019s global shortcuts"),
     VOXLANE_TRANSLATE_NOOP("DesktopSession",
                            "System Settings \u2192 Shortcuts \u2192 Audio Volume")},
    {"kglobalaccel5", VOXLANE_TRANSLATE_NOOP("DesktopSession", "KDE\u2019s global shortcuts"),
     VOXLANE_TRANSLATE_NOOP("DesktopSession",
                            "System Settings \u2192 Shortcuts \u2192 Audio Volume")},
    {"xfce4-volumed-p", VOXLANE_TRANSLATE_NOOP("DesktopSession", "Xfce\u2019s volume daemon"),
     VOXLANE_TRANSLATE_NOOP("DesktopSession", "its settings, or stop xfce4-volumed-pulse")},
    // Split after \u201c: lupdate would read the E that follows as a fifth hex digit.
    {"xfce4-panel", VOXLANE_TRANSLATE_NOOP("DesktopSession", "the Xfce panel\u2019s audio plugin"),
     VOXLANE_TRANSLATE_NOOP("DesktopSession",
                            "the plugin\u2019s properties: \u201c"
                            "Enable keyboard shortcuts for volume control\u201d")},
    {"csd-media-keys", VOXLANE_TRANSLATE_NOOP("DesktopSession", "Cinnamon\u2019s media keys"),
     VOXLANE_TRANSLATE_NOOP(
         "DesktopSession",
         "System Settings \u2192 Keyboard \u2192 Shortcuts \u2192 Sound and Media")},
    {"mate-settings-d", VOXLANE_TRANSLATE_NOOP("DesktopSession", "MATE\u2019s settings daemon"),
     VOXLANE_TRANSLATE_NOOP("DesktopSession", "Keyboard Shortcuts \u2192 Sound and Media")},
    {"lxqt-globalkeys", VOXLANE_TRANSLATE_NOOP("DesktopSession", "LXQt\u2019s global keys"),
     VOXLANE_TRANSLATE_NOOP("DesktopSession", "LXQt Configuration \u2192 Shortcut Keys")},
    {"xbindkeys", "xbindkeys", "~/.xbindkeysrc"},
    {"sxhkd", "sxhkd", VOXLANE_TRANSLATE_NOOP("DesktopSession", "its sxhkdrc")},
    {"volumeicon", "Volume Icon",
     VOXLANE_TRANSLATE_NOOP("DesktopSession", "its preferences \u2192 Hotkeys")},
}};

} // namespace

std::vector<std::string> desktops(const char* value) {
    std::vector<std::string> result;
    if (!value) return result;
    std::stringstream in(value);
    for (std::string item; std::getline(in, item, ':');) {
        std::transform(item.begin(), item.end(), item.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        if (!item.empty()) result.push_back(item);
    }
    return result;
}

std::vector<std::string> currentDesktops() {
    return desktops(std::getenv("XDG_CURRENT_DESKTOP"));
}

bool sandboxed(bool flatpakInfoExists, const char* snap) {
    return flatpakInfoExists || (snap && *snap);
}

bool currentlySandboxed() {
    std::error_code error;
    return sandboxed(std::filesystem::exists("/.flatpak-info", error), std::getenv("SNAP"));
}

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::stringstream in(path);
    for (std::string dir; std::getline(in, dir, ':');) {
        if (dir.empty()) continue;
        const std::string candidate = dir + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return true;
    }
    return false;
}

std::vector<std::string> soundSettingsCommand(const std::vector<std::string>& desktops,
                                              bool (*installed)(const std::string&)) {
    using Command = std::vector<std::string>;
    std::vector<Command> candidates;
    if (has(desktops, "gnome") || has(desktops, "unity") || has(desktops, "budgie"))
        candidates.push_back({"gnome-control-center", "sound"});
    if (has(desktops, "kde")) {
        candidates.push_back({"systemsettings", "kcm_pulseaudio"});  // Plasma 6
        candidates.push_back({"systemsettings5", "kcm_pulseaudio"}); // Plasma 5
    }
    if (has(desktops, "x-cinnamon") || has(desktops, "cinnamon"))
        candidates.push_back({"cinnamon-settings", "sound"});
    if (has(desktops, "mate")) candidates.push_back({"mate-volume-control"});
    if (has(desktops, "lxqt")) candidates.push_back({"pavucontrol-qt"});
    // Everywhere else (Xfce, wlroots compositors, window managers), and where the desktop's own
    // is missing: the PulseAudio volume control, which PipeWire serves.
    candidates.push_back({"pavucontrol"});
    candidates.push_back({"pavucontrol-qt"});
    for (const Command& command : candidates)
        if (installed(command.front())) return command;
    return {};
}

std::optional<KeyHolder> volumeKeyHolder(const std::vector<std::string>& processNames) {
    for (const KnownHolder& known : knownHolders) {
        // comm is cut to 15 bytes; the table's names are at most that long.
        if (std::find(processNames.begin(), processNames.end(), known.process) !=
            processNames.end())
            return KeyHolder{std::string(known.name), std::string(known.whereToFree)};
    }
    return std::nullopt;
}

std::vector<std::string> runningProcessNames() {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it("/proc", error), end; !error && it != end;
         it.increment(error)) {
        const std::string pid = it->path().filename().string();
        if (pid.empty() || !std::all_of(pid.begin(), pid.end(), ::isdigit)) continue;
        std::ifstream comm(it->path() / "comm");
        std::string name;
        if (std::getline(comm, name) && !name.empty()) names.push_back(name);
    }
    return names;
}

} // namespace voxlane::DesktopSession
