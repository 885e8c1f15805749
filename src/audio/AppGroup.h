// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioProcess.h"
#include "platform/Workspace.h"

#include <algorithm>
#include <string>
#include <vector>

namespace voxlane {

// The audio processes of one owning application. `id` keys every per-app collection: an
// application id (desktop entry or Flatpak id), or "process." followed by the process name.
struct AppGroup {
    std::string id;
    std::string name;
    AppIcon icon;
    std::string executable; // the file name of the first member's program; may be empty
    bool isRegularApp = false;
    std::vector<AudioProcess> processes; // in enumeration order

    // The members' process objects, ascending: exactly what the app's tap captures.
    std::vector<ObjectId> objectIDs() const {
        std::vector<ObjectId> ids;
        ids.reserve(processes.size());
        for (const auto& p : processes)
            ids.push_back(p.objectID);
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    bool isPlaying() const {
        return std::any_of(processes.begin(), processes.end(),
                           [](const AudioProcess& p) { return p.isPlaying; });
    }
    bool isRecording() const {
        return std::any_of(processes.begin(), processes.end(),
                           [](const AudioProcess& p) { return p.isRecording; });
    }

    friend bool operator==(const AppGroup&, const AppGroup&) = default;
};

} // namespace voxlane
