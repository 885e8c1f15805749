// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DesktopEntry.h"

#include <algorithm>
#include <array>

namespace voxlane {

namespace {

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::string unescape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default: // not an escape of the string type: kept for the Exec quoting rules
            out += '\\';
            out += value[i];
        }
    }
    return out;
}

bool isTrue(const std::map<std::string, std::string>& group, const std::string& key) {
    const auto found = group.find(key);
    return found != group.end() && found->second == "true";
}

std::string value(const std::map<std::string, std::string>& group, const std::string& key) {
    const auto found = group.find(key);
    return found == group.end() ? std::string() : found->second;
}

std::string_view baseName(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Removes the field codes of one argument; an argument that was only a field code disappears.
std::optional<std::string> expandFieldCodes(const std::string& argument) {
    std::string out;
    bool hadCode = false;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        if (argument[i] == '%' && i + 1 < argument.size()) {
            ++i;
            if (argument[i] == '%') {
                out += '%';
            } else {
                hadCode = true;
            }
            continue;
        }
        out += argument[i];
    }
    if (hadCode && out.empty()) return std::nullopt;
    return out;
}

} // namespace

std::optional<std::map<std::string, std::string>> DesktopEntry::readGroup(std::string_view text,
                                                                          std::string_view group) {
    std::optional<std::map<std::string, std::string>> result;
    bool inGroup = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const auto line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            if (inGroup) break; // a group may appear only once; the first one counts
            inGroup = line.back() == ']' && line.substr(1, line.size() - 2) == group;
            if (inGroup) result.emplace();
            continue;
        }
        if (!inGroup) continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const auto key = trim(line.substr(0, equals));
        if (key.empty() || key.find('[') != std::string_view::npos) continue; // localised
        result->emplace(std::string(key), unescape(trim(line.substr(equals + 1))));
    }
    return result;
}

std::optional<DesktopEntry> DesktopEntry::parse(std::string_view text) {
    const auto group = readGroup(text, "Desktop Entry");
    if (!group) return std::nullopt;
    DesktopEntry entry;
    entry.type = value(*group, "Type");
    entry.name = value(*group, "Name");
    entry.icon = value(*group, "Icon");
    entry.exec = value(*group, "Exec");
    entry.tryExec = value(*group, "TryExec");
    entry.startupWMClass = value(*group, "StartupWMClass");
    entry.noDisplay = isTrue(*group, "NoDisplay");
    entry.hidden = isTrue(*group, "Hidden");
    return entry;
}

std::vector<std::string> DesktopEntry::execArguments() const {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    const auto finish = [&] {
        if (inArgument) {
            // Field codes are expanded only outside quotes; quoted text is taken literally.
            if (auto expanded = expandFieldCodes(current)) arguments.push_back(*expanded);
        }
        current.clear();
        inArgument = false;
    };
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < exec.size()) {
                current += exec[++i];
            } else {
                current += c;
            }
        } else if (c == ' ' || c == '\t') {
            finish();
        } else if (c == '"') {
            quoted = true;
            inArgument = true;
        } else {
            current += c;
            inArgument = true;
        }
    }
    finish();
    return arguments;
}

std::string DesktopEntry::program() const {
    const auto arguments = execArguments();
    std::size_t i = 0;
    if (i < arguments.size() && baseName(arguments[i]) == "env") {
        ++i;
        while (i < arguments.size() &&
               (arguments[i].find('=') != std::string::npos || arguments[i].starts_with('-'))) {
            ++i;
        }
    }
    if (i == arguments.size()) return {};
    if (isInterpreter(baseName(arguments[i]))) {
        const std::vector<std::string> rest(arguments.begin() + static_cast<long>(i),
                                            arguments.end());
        auto inner = interpretedProgram(rest);
        if (!inner.empty()) return inner;
    }
    return arguments[i];
}

bool DesktopEntry::isInterpreter(std::string_view fileName) {
    static constexpr std::array<std::string_view, 18> names = {
        "sh",   "bash", "dash",   "zsh",  "ksh", "fish", "env",  "python", "perl",
        "ruby", "node", "nodejs", "java", "gjs", "lua",  "mono", "wine",   "electron"};
    if (std::find(names.begin(), names.end(), fileName) != names.end()) return true;
    // Versioned names: python3, python3.11, perl5.36, lua5.4, electron25.
    for (std::string_view prefix : {"python", "perl", "ruby", "lua", "node", "electron"}) {
        if (fileName.starts_with(prefix) && fileName.size() > prefix.size() &&
            std::all_of(fileName.begin() + static_cast<long>(prefix.size()), fileName.end(),
                        [](char c) { return (c >= '0' && c <= '9') || c == '.'; })) {
            return true;
        }
    }
    return false;
}

std::string DesktopEntry::interpretedProgram(const std::vector<std::string>& arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const auto& argument = arguments[i];
        if (argument == "-c" && i + 1 < arguments.size()) {
            // The first word of the command, past any VAR=value assignments.
            std::string_view command = arguments[i + 1];
            while (!command.empty()) {
                const auto start = command.find_first_not_of(' ');
                if (start == std::string_view::npos) break;
                command.remove_prefix(start);
                const auto word = command.substr(0, command.find(' '));
                if (word.find('=') == std::string_view::npos && word != "exec") {
                    return std::string(word);
                }
                command.remove_prefix(word.size());
            }
            return {};
        }
        if (argument.empty() || argument.starts_with('-') ||
            argument.find('=') != std::string::npos) {
            continue;
        }
        return argument;
    }
    return {};
}

} // namespace voxlane
