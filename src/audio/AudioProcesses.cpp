// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioProcesses.h"

#include "platform/AppIdentifier.h"
#include "platform/Utf8.h"

#include <map>
#include <optional>

namespace voxlane::AudioProcesses {

const std::set<std::string> hidden = {
    // The audio server, its compatibility layers and session managers.
    "org.freedesktop.pipewire",
    "process.pipewire",
    "process.pipewire-pulse",
    "process.pipewire-media-session",
    "process.wireplumber",
    "process.pulseaudio",
    "process.jackd",
    "process.jackdbus",
    // Ourselves, by process name.
    "process.voxlane",
};

namespace {

struct Owner {
    std::string key;
    std::string name;
    AppIcon icon;
    bool regular = false;
};

std::string removeAll(std::string text, const std::string& part) {
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at))
        text.erase(at, part.size());
    return text;
}

std::string lastComponent(const std::string& identifier) {
    std::string last;
    std::size_t start = 0;
    while (start <= identifier.size()) {
        const auto dot = identifier.find('.', start);
        const auto piece =
            identifier.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (!piece.empty()) last = piece;
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return last.empty() ? identifier : last;
}

std::optional<Owner> owningApp(const Workspace& workspace, const AudioProcess& process) {
    std::vector<std::int32_t> candidates;
    if (const auto responsible = workspace.responsiblePid(process.pid); responsible > 0)
        candidates.push_back(responsible);
    if (process.pid > 0) candidates.push_back(process.pid);
    for (const auto pid : candidates) {
        const auto app = workspace.runningApplication(pid);
        if (!app || app->appId.empty()) continue;
        Owner owner;
        owner.key = app->appId;
        owner.name = app->localizedName.empty() ? app->appId : app->localizedName;
        owner.icon = !app->icon.empty() ? app->icon : workspace.iconForFile(app->entryPath);
        owner.regular = app->isRegular;
        return owner;
    }

    if (process.appId && !process.appId->empty()) {
        Owner owner;
        owner.key = *process.appId;
        if (const auto path = workspace.applicationPath(*process.appId)) {
            owner.name = removeAll(workspace.displayName(*path), ".app");
            owner.icon = workspace.iconForFile(*path);
        } else {
            owner.name = lastComponent(*process.appId);
            owner.icon = AppIcon{"app", true};
        }
        return owner;
    }

    const auto name = workspace.processName(process.pid);
    if (!name || name->empty()) return std::nullopt;
    Owner owner;
    owner.key = "process." + *name;
    owner.name = *name;
    owner.icon = AppIcon{"terminal", true};
    return owner;
}

// The file name of the program a process runs (its name as the kernel keeps it, cut at 15
// bytes, where the path cannot be read).
std::string executableName(const Workspace& workspace, std::int32_t pid) {
    if (const auto path = workspace.processPath(pid); path && !path->empty()) {
        const auto slash = path->find_last_of('/');
        return slash == std::string::npos ? *path : path->substr(slash + 1);
    }
    return workspace.processName(pid).value_or("");
}

} // namespace

std::vector<AudioProcess> all(AudioServer& server, const Workspace& workspace) {
    const std::int32_t own = workspace.ownPid();
    std::vector<AudioProcess> processes;
    for (ObjectId id : server.processes()) {
        const auto info = server.process(id);
        if (!info || info->pid < 1 || info->pid == own) continue;
        AudioProcess process;
        process.objectID = id;
        process.pid = info->pid;
        process.isPlaying = info->playing;
        process.isRecording = info->recording;
        if (info->appId) process.appId = Utf8::valid(*info->appId);
        processes.push_back(std::move(process));
    }
    return processes;
}

std::vector<AppGroup> grouped(const std::vector<AudioProcess>& processes,
                              const Workspace& workspace) {
    std::vector<AppGroup> groups;
    std::map<std::string, std::size_t> position;
    for (const auto& process : processes) {
        auto owner = owningApp(workspace, process);
        if (!owner) continue;
        // Process names are cut at 15 bytes, often inside a character; desktop entries and
        // the audio server's properties are anyone's text. The same bytes always give the
        // same id, so the app keeps its settings from run to run.
        owner->key = Utf8::valid(owner->key);
        owner->name = Utf8::valid(owner->name);
        if (hidden.count(owner->key) || owner->key == AppIdentifier) continue;
        auto [it, inserted] = position.try_emplace(owner->key, groups.size());
        if (inserted) {
            AppGroup group;
            group.id = owner->key;
            group.name = std::move(owner->name);
            group.icon = std::move(owner->icon);
            group.executable = Utf8::valid(executableName(workspace, process.pid));
            group.isRegularApp = owner->regular;
            groups.push_back(std::move(group));
        }
        groups[it->second].processes.push_back(process);
    }
    return groups;
}

} // namespace voxlane::AudioProcesses
