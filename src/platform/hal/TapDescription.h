// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/hal/HalTypes.h"

#include <string>
#include <vector>

namespace voxlane {

// What happens to the tapped processes' own output while a tap exists.
enum class CATapMuteBehavior : int {
    unmuted = 0,         // CATapUnmuted: they keep playing normally
    muted = 1,           // CATapMuted: silenced as long as the tap exists
    mutedWhenTapped = 2, // CATapMutedWhenTapped: silenced while the tap is being read
};

// Describes a process tap to create: either a stereo mixdown of some processes, or a stereo
// global tap of every process except some.
struct TapDescription {
    std::vector<AudioObjectID> processes; // tapped processes, or the excluded ones when exclusive
    bool isExclusive = false;             // true: global tap excluding `processes`
    bool isMixdown = true;                // stereo mixdown of all captured channels
    std::string uuid;                     // text form; names the tap in an aggregate device
    std::string name;
    bool isPrivate = false;
    CATapMuteBehavior muteBehavior = CATapMuteBehavior::unmuted;

    static TapDescription stereoMixdownOfProcesses(std::vector<AudioObjectID> processes) {
        TapDescription description;
        description.processes = std::move(processes);
        return description;
    }
    static TapDescription stereoGlobalTapButExcludeProcesses(std::vector<AudioObjectID> excluded) {
        TapDescription description;
        description.processes = std::move(excluded);
        description.isExclusive = true;
        return description;
    }

    // Whether the tap captures the process object `process`.
    bool captures(AudioObjectID process) const;
};

} // namespace voxlane
