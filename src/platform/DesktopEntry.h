// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace voxlane {

// The [Desktop Entry] group of a .desktop file, the keys the workspace needs. Localised keys
// ("Name[de]") are ignored; of a key given twice the first counts.
struct DesktopEntry {
    std::string type;
    std::string name;
    std::string icon;
    std::string exec;
    std::string tryExec;
    std::string startupWMClass;
    bool noDisplay = false;
    bool hidden = false;

    // None when the text has no [Desktop Entry] group.
    static std::optional<DesktopEntry> parse(std::string_view text);

    // The unlocalised keys of one group of a desktop-entry style file, values unescaped (\s \n
    // \t \r \\); none when the group is missing.
    static std::optional<std::map<std::string, std::string>> readGroup(std::string_view text,
                                                                       std::string_view group);

    // An application entry (Type=Application, or no Type at all).
    bool isApplication() const { return type.empty() || type == "Application"; }
    // Shown in application menus.
    bool isVisible() const { return !noDisplay && !hidden; }

    // Exec split into arguments by its quoting rules, field codes (%u, %F, …) removed.
    std::vector<std::string> execArguments() const;
    // The program Exec starts, looking through "env VAR=value …" and through interpreters and
    // shells ("python3 /usr/bin/foo", "sh -c 'foo --bar'") to the program or script they run.
    // Empty when there is none.
    std::string program() const;

    // Whether a program of this file name runs other programs (interpreters, shells, env), so
    // that it names no application by itself.
    static bool isInterpreter(std::string_view fileName);
    // The program an interpreter runs, from its arguments after argv[0]: the first argument that
    // is not an option (for "-c" the first word of the command). Empty when there is none.
    static std::string interpretedProgram(const std::vector<std::string>& arguments);
};

} // namespace voxlane
