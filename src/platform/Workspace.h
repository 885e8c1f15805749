// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace voxlane {

// An application icon: an icon name or image path of the desktop's icon theme, or, when
// `symbol` is set, one of our own symbol images ("app", "terminal"). Empty: no image.
struct AppIcon {
    std::string name;
    bool symbol = false;

    bool empty() const { return name.empty(); }
    friend bool operator==(const AppIcon&, const AppIcon&) = default;
};

// A running desktop application as the workspace knows it.
struct RunningApplication {
    std::string appId;         // the application id (desktop entry id, Flatpak id); may be empty
    std::string localizedName; // may be empty
    AppIcon icon;              // may be empty
    std::string entryPath;  // where the application is described (its desktop entry); may be empty
    bool isRegular = false; // a regular, visible application (not a helper or service)
};

// Running applications and processes: the questions process discovery asks about the desktop.
// Called on the main thread. Implemented on /proc and the XDG desktop entries, and by a fake in
// tests.
class Workspace {
public:
    virtual ~Workspace() = default;

    // This program's own process id.
    virtual std::int32_t ownPid() const = 0;
    // The running application the process belongs to as its main process, if any.
    virtual std::optional<RunningApplication> runningApplication(std::int32_t pid) const = 0;
    // The description path of the application with this id (its desktop entry), if installed.
    virtual std::optional<std::string> applicationPath(const std::string& id) const = 0;
    // The name shown for an application path (the desktop entry's name).
    virtual std::string displayName(const std::string& path) const = 0;
    // The icon for an application path (the desktop entry's icon); empty when none.
    virtual AppIcon iconForFile(const std::string& path) const = 0;
    // The executable path of a process; empty when unknown.
    virtual std::optional<std::string> processPath(std::int32_t pid) const = 0;
    // The short name of a process; empty when unknown.
    virtual std::optional<std::string> processName(std::int32_t pid) const = 0;
    // The process responsible for `pid`: the nearest ancestor that is a desktop application,
    // so helpers and renderers join their application; `pid` itself when it is one, and 0 or
    // less when there is none.
    virtual std::int32_t responsiblePid(std::int32_t pid) const = 0;
    // Opens a URL with the desktop's handler for it; false when nothing could open it.
    virtual bool openURL(const std::string& url) = 0;
    // Starts the desktop's own sound settings (see DesktopSession::soundSettingsCommand); false
    // when no program for them is known, and the user has to be told what to open.
    virtual bool openSoundSettings() = 0;
};

} // namespace voxlane
