// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/AudioPermission.h"
#include "engine/MixerEngine.h"
#include "platform/Defaults.h"
#include "platform/StaticWorkspace.h"
#include "platform/SystemEvents.h"
#include "platform/SystemSounds.h"

#include <memory>
#include <unistd.h>

namespace voxlane::test {

// What the program hands its engine, on a real server: settings in memory (audio access granted
// unless told otherwise), this process as Voxlane's own, and players named as the test says in
// `workspace.names`.
struct EngineWorld {
    EngineWorld(AudioServer& server, Scheduler& scheduler, bool accessGranted = true)
        : server(server), scheduler(scheduler), sounds(server) {
        if (accessGranted) defaults->setBoolean(AudioPermission::grantedKey, true);
        workspace.pid = getpid();
    }
    std::unique_ptr<MixerEngine> start() {
        return std::make_unique<MixerEngine>(
            EngineServices{server, scheduler, *defaults, workspace, sounds, events, {}, {}});
    }

    AudioServer& server;
    Scheduler& scheduler;
    std::unique_ptr<Defaults> defaults = Defaults::inMemory();
    StaticWorkspace workspace;
    SystemSounds sounds;
    SystemEvents events;
};

} // namespace voxlane::test
