// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace voxlane {

// The engine's observable properties; observers are told which one changed.
enum class EngineProperty {
    apps,
    outputDevices,
    inputDevices,
    deviceRules,
    defaultOutput,
    defaultInput,
    settings,
    soloID,
    masterVolume,
    masterMuted,
    softVolumeActive,
    volumeKeysReady,
    micMuted,
    lastError,
    audioAccess,
    activeCall,
    duckingPausedForCall,
    duckingEnabled,
    duckLevel,
    serverConnected,
};

} // namespace voxlane
