// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <sys/types.h>

namespace voxlane {

// A desktop application as the workspace knows it: from its desktop entry, or from the Flatpak
// sandbox a process runs in.
struct DesktopApplication {
    // The desktop id without ".desktop" ("firefox", "org.mozilla.firefox"), or the Flatpak
    // application id.
    std::string id;
    // The entry's Name (not localised).
    std::string name;
    // The entry's Icon: a theme icon name or an absolute path; may be empty.
    std::string iconName;
    // The application has a visible entry (NoDisplay and Hidden not true): it shows in the
    // desktop's application menu.
    bool isRegular = false;
    // The process asked about; 0 for an application looked up by id.
    pid_t pid = 0;

    bool operator==(const DesktopApplication&) const = default;
};

} // namespace voxlane
