// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AppGroup.h"
#include "audio/AudioProcess.h"
#include "platform/server/AudioServer.h"

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace voxlane {

class Workspace;

// The apps that have audio: the server's processes grouped by the app they belong to, playing
// apps first, each part by name. Listens to every process's running state so that a change is
// heard. Main thread.
class AppDiscovery {
public:
    AppDiscovery(AudioServer& server, Workspace& workspace, std::function<void()> changed);
    ~AppDiscovery();

    std::vector<AppGroup> discover();

    // Process objects whose running state is watched.
    std::vector<ObjectId> watched() const;

private:
    void watch(const std::vector<AudioProcess>& processes);

    AudioServer& server_;
    Workspace& workspace_;
    std::function<void()> changed_;
    std::map<ObjectId, Subscription> listeners_; // null where the server refused
};

} // namespace voxlane
