// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/AppDiscovery.h"

#include "audio/AudioProcesses.h"
#include "platform/TextCompare.h"

#include <algorithm>
#include <set>

namespace voxlane {

AppDiscovery::AppDiscovery(AudioServer& server, Workspace& workspace, std::function<void()> changed)
    : server_(server), workspace_(workspace), changed_(std::move(changed)) {}

AppDiscovery::~AppDiscovery() = default;

std::vector<AppGroup> AppDiscovery::discover() {
    const auto processes = AudioProcesses::all(server_, workspace_);
    watch(processes);
    auto groups = AudioProcesses::grouped(processes, workspace_);
    std::stable_sort(groups.begin(), groups.end(), [](const AppGroup& a, const AppGroup& b) {
        const bool aPlaying = a.isPlaying(), bPlaying = b.isPlaying();
        if (aPlaying != bPlaying) return aPlaying;
        return localizedCaseInsensitiveCompare(a.name, b.name) < 0;
    });
    return groups;
}

std::vector<ObjectId> AppDiscovery::watched() const {
    std::vector<ObjectId> ids;
    for (const auto& [id, tokens] : listeners_)
        ids.push_back(id);
    return ids;
}

void AppDiscovery::watch(const std::vector<AudioProcess>& processes) {
    std::set<ObjectId> ids;
    for (const auto& process : processes)
        ids.insert(process.objectID);

    std::erase_if(listeners_, [&](const auto& entry) { return !ids.count(entry.first); });
    for (ObjectId id : ids)
        if (!listeners_.count(id))
            listeners_[id] = server_.subscribe(Change::running, id, changed_);
}

} // namespace voxlane
