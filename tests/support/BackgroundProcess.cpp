// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/BackgroundProcess.h"

#include <csignal>
#include <nlohmann/json.hpp>
#include <sstream>
#include <sys/wait.h>

namespace voxlane::test {
namespace {

// The exit status, or 128 + the signal that ended it; -1 for none.
int exitStatus(int waitStatus) {
    if (waitStatus < 0) return -1;
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

} // namespace

int BackgroundProcess::stop(double seconds) {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        status_ = exitStatus(ChildProcess::reap(pid_, seconds, true));
        pid_ = -1;
    }
    return status_;
}

int BackgroundProcess::wait(double seconds) {
    const int status = pid_ > 0 ? ChildProcess::reap(pid_, seconds) : -1;
    if (status < 0) return pid_ > 0 ? -1 : status_;
    pid_ = -1;
    return status_ = exitStatus(status);
}

std::string linksInto(const std::string& port) {
    std::istringstream all(runAndRead({"pw-link", "-l"}));
    std::string result;
    bool inside = false;
    for (std::string line; std::getline(all, line);) {
        if (!line.empty() && line[0] != ' ')
            inside = line == port;
        else if (inside)
            result += line + "\n";
    }
    return result;
}

std::optional<std::map<std::uint32_t, std::string>> nodeNames() {
    const auto dump = nlohmann::json::parse(runAndRead({"pw-dump"}), nullptr, false);
    if (!dump.is_array()) return std::nullopt;
    std::map<std::uint32_t, std::string> names;
    for (const auto& object : dump) {
        if (object.value("type", "") != "PipeWire:Interface:Node") continue;
        const auto props =
            object.value("info", nlohmann::json::object()).value("props", nlohmann::json::object());
        names[object.value("id", 0u)] = props.value("node.name", "");
    }
    return names;
}

int destroyNodes(const std::set<std::string>& names) {
    int destroyed = 0;
    for (const auto& [id, name] : nodeNames().value_or(std::map<std::uint32_t, std::string>{})) {
        if (!names.count(name)) continue;
        int status = -1;
        runAndRead({"pw-cli", "destroy", std::to_string(id)}, 10, &status);
        destroyed += status == 0;
    }
    return destroyed;
}

} // namespace voxlane::test
