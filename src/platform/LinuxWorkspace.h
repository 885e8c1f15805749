// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DesktopApplication.h"
#include "platform/DesktopEntry.h"
#include "platform/Workspace.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace voxlane {

// Running applications and processes on a Linux desktop, from /proc and the XDG desktop
// entries.
//
// Which application a process belongs to (`runningApplication`):
//   1. A process in a Flatpak sandbox (/proc/<pid>/root/.flatpak-info, [Application] name=) is
//      that Flatpak application, described by its exported entry when there is one.
//   2. Otherwise the process is matched against the desktop entries, most specific rule first:
//      a. the executable (/proc/<pid>/exe) is the entry's Exec program or TryExec, by full path
//         (symbolic links in the entry's path resolved);
//      b. the executable's file name equals the file name of the Exec program or TryExec;
//      c. the executable's file name or the process name (/proc/<pid>/comm) equals the entry's
//         StartupWMClass, its desktop id or the id's last dotted component (case-insensitive);
//      d. the process name equals the Exec program's file name, cut to the 15 characters the
//         kernel keeps.
//      Where the executable is an interpreter or shell (python3, sh, java, …), the script it
//      runs (from /proc/<pid>/cmdline) stands in for the executable's file name, and a process
//      name that is an interpreter's is not used. Entries that start their program through
//      "flatpak run" match only through rule 1. Within a rule a visible entry beats a hidden
//      one, then the earlier data directory, then the smaller id.
//   No match: the process is no desktop application.
//
// The entries come from `applicationDirs` in order (the first entry of a desktop id wins, as
// with the XDG menu); the index is built at the first question and again when the
// modification time of one of the directories changed. Used on the main thread only.
class LinuxWorkspace final : public Workspace {
public:
    // The machine's /proc and `defaultApplicationDirs()`.
    LinuxWorkspace();
    LinuxWorkspace(std::filesystem::path procRoot,
                   std::vector<std::filesystem::path> applicationDirs);

    // --- Workspace
    std::int32_t ownPid() const override;
    std::optional<RunningApplication> runningApplication(std::int32_t pid) const override;
    // The application's desktop entry file.
    std::optional<std::string> applicationPath(const std::string& id) const override;
    std::string displayName(const std::string& path) const override;
    AppIcon iconForFile(const std::string& path) const override;
    std::optional<std::string> processPath(std::int32_t pid) const override;
    std::optional<std::string> processName(std::int32_t pid) const override;
    std::int32_t responsiblePid(std::int32_t pid) const override { return responsibleProcess(pid); }
    // Hands the URL to xdg-open without waiting for it.
    bool openURL(const std::string& url) override;
    bool openSoundSettings() override;

    // The desktop application this process belongs to.
    std::optional<DesktopApplication> desktopApplication(pid_t pid) const;
    // The application with this desktop id (or Flatpak id), running or not; `pid` is 0.
    std::optional<DesktopApplication> application(std::string_view id) const;

    // The process's parent; none when it cannot be read.
    std::optional<pid_t> parentProcess(pid_t pid) const;
    // The process itself when it belongs to a regular application, else its nearest ancestor
    // that does, so that helper and renderer processes join the browser that started them; the
    // process itself when no ancestor does.
    pid_t responsibleProcess(pid_t pid) const;

    // $XDG_DATA_HOME/applications (default ~/.local/share/applications), then each of
    // $XDG_DATA_DIRS/applications (default /usr/local/share:/usr/share), then the Flatpak export
    // directories (~/.local/share/flatpak/exports/share, /var/lib/flatpak/exports/share) unless
    // already listed. Relative paths in the variables are ignored.
    static std::vector<std::filesystem::path> defaultApplicationDirs();
    static std::vector<std::filesystem::path>
    applicationDirsFor(const char* xdgDataHome, const char* xdgDataDirs, const char* home);

private:
    struct IndexedEntry {
        std::string id;
        std::filesystem::path file;
        DesktopEntry entry;
        std::string programPath;     // Exec program as written
        std::string programName;     // its file name
        std::string resolvedProgram; // the path with symbolic links resolved, when it exists
        std::string tryExecName;     // TryExec's file name
        bool isFlatpakLauncher = false;
    };
    struct Index {
        std::vector<IndexedEntry> entries;
        std::map<std::string, std::size_t, std::less<>> byId;
        std::vector<std::filesystem::file_time_type> dirTimes;
    };

    const Index& index() const;
    void build(Index& index) const;
    std::vector<std::filesystem::file_time_type> dirTimes() const;
    std::optional<std::string> flatpakApplication(pid_t pid) const;
    std::optional<std::string> interpretedScript(pid_t pid) const;
    const IndexedEntry* match(pid_t pid) const;
    const IndexedEntry* entryForFile(const std::string& path) const;
    DesktopApplication describe(const IndexedEntry& indexed, pid_t pid) const;
    std::filesystem::path procPath(pid_t pid, std::string_view file) const;

    std::filesystem::path procRoot;
    std::vector<std::filesystem::path> applicationDirs;
    mutable std::optional<Index> cache;
};

} // namespace voxlane
