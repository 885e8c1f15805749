// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AppGroup.h"
#include "audio/AudioProcess.h"

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace voxlane {

class Hal;
class ListenerToken;
class Workspace;

// The apps that have audio: the server's processes grouped by the app they belong to, playing
// apps first, each part by name. Listens to every process's running state so that a change is
// heard. Main thread.
class AppDiscovery {
public:
    AppDiscovery(Hal& hal, Workspace& workspace, std::function<void()> changed);
    ~AppDiscovery();

    std::vector<AppGroup> discover();

    // Process objects that currently have running-output/-input listeners.
    std::vector<AudioObjectID> watched() const;

private:
    void watch(const std::vector<AudioProcess>& processes);

    Hal& hal_;
    Workspace& workspace_;
    std::function<void()> changed_;
    std::map<AudioObjectID, std::vector<std::unique_ptr<ListenerToken>>> listeners_;
};

} // namespace voxlane
