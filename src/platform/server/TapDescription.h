// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/ServerTypes.h"

#include <string>
#include <vector>

namespace voxlane {

// What happens to the tapped processes' own output while a tap exists.
enum class TapMute {
    unmuted,         // they keep playing normally
    muted,           // silenced as long as the tap exists
    mutedWhenTapped, // silenced while a running render callback reads the tap
};

// Describes a process tap to create: either a stereo mixdown of some processes, or a stereo
// global tap of every process except some.
struct TapDescription {
    std::vector<ObjectId> processes; // tapped processes, or the excluded ones when exclusive
    bool isExclusive = false;        // true: global tap excluding `processes`
    std::string uuid;                // text form; names the tap in an aggregate device
    std::string name;
    TapMute muteBehavior = TapMute::unmuted;

    static TapDescription mixdownOf(std::vector<ObjectId> processes) {
        TapDescription description;
        description.processes = std::move(processes);
        return description;
    }
    static TapDescription allExcept(std::vector<ObjectId> excluded) {
        TapDescription description;
        description.processes = std::move(excluded);
        description.isExclusive = true;
        return description;
    }

    // Whether the tap captures the process object `process`.
    bool captures(ObjectId process) const;
};

} // namespace voxlane
