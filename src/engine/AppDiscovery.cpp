// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/AppDiscovery.h"

#include "audio/AudioProcesses.h"
#include "audio/CA.h"
#include "audio/ListenerToken.h"
#include "platform/TextCompare.h"

#include <algorithm>
#include <set>

namespace voxlane {

AppDiscovery::AppDiscovery(Hal& hal, Workspace& workspace, std::function<void()> changed)
    : hal_(hal), workspace_(workspace), changed_(std::move(changed)) {}

AppDiscovery::~AppDiscovery() = default;

std::vector<AppGroup> AppDiscovery::discover() {
    const auto processes = AudioProcesses::all(hal_, workspace_);
    watch(processes);
    auto groups = AudioProcesses::grouped(processes, workspace_);
    std::stable_sort(groups.begin(), groups.end(), [](const AppGroup& a, const AppGroup& b) {
        const bool aPlaying = a.isPlaying(), bPlaying = b.isPlaying();
        if (aPlaying != bPlaying) return aPlaying;
        return localizedCaseInsensitiveCompare(a.name, b.name) < 0;
    });
    return groups;
}

std::vector<AudioObjectID> AppDiscovery::watched() const {
    std::vector<AudioObjectID> ids;
    for (const auto& [id, tokens] : listeners_)
        ids.push_back(id);
    return ids;
}

void AppDiscovery::watch(const std::vector<AudioProcess>& processes) {
    std::set<AudioObjectID> ids;
    for (const auto& process : processes)
        ids.insert(process.objectID);

    std::erase_if(listeners_, [&](auto& entry) {
        if (ids.count(entry.first)) return false;
        for (auto& token : entry.second)
            token->remove();
        return true;
    });
    for (AudioObjectID id : ids) {
        if (listeners_.count(id)) continue;
        auto& tokens = listeners_[id];
        for (AudioObjectPropertySelector selector :
             {kAudioProcessPropertyIsRunningOutput, kAudioProcessPropertyIsRunningInput}) {
            if (auto token = CA::listen(hal_, id, CA::address(selector), changed_))
                tokens.push_back(std::move(token));
        }
    }
}

} // namespace voxlane
