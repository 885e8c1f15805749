// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>

namespace voxlane {

// "Open at login": the XDG autostart entry <config>/autostart/<AppIdentifier>.desktop, which
// starts Voxlane with --login (so that it comes up in the tray without opening the panel).
class Autostart {
public:
    // The entry under $XDG_CONFIG_HOME, or ~/.config when that is unset, empty or relative.
    Autostart();
    explicit Autostart(std::filesystem::path entry) : entry_(std::move(entry)) {}

    const std::filesystem::path& entryPath() const { return entry_; }
    // The entry exists and is not hidden (Hidden=true) or switched off
    // (X-GNOME-Autostart-enabled=false).
    bool isEnabled() const;
    // Writes the entry for `program` (written atomically); false when it could not be written.
    bool enable(const std::string& program);
    // Removes the entry; true when none is left.
    bool disable();

    // The entry's text for `program`.
    static std::string entryText(const std::string& program);

private:
    std::filesystem::path entry_;
};

} // namespace voxlane
