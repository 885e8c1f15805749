// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/AudioServer.h"

#include "platform/LinuxWorkspace.h"
#include "platform/StaticWorkspace.h"
#include "platform/hal/DemoWorld.h"
#include "platform/hal/PipeWireHal.h"
#include "platform/hal/SimHal.h"

#include <unistd.h>

namespace voxlane {

AudioServer AudioServer::open(Scheduler& mainQueue, bool demo, bool readOnly) {
    AudioServer server;
    if (!demo) {
        auto workspace = std::make_unique<LinuxWorkspace>();
        PipeWireHal::Options options;
        const LinuxWorkspace* desktop = workspace.get();
        options.bundleIdResolver = [desktop](pid_t pid) -> std::optional<std::string> {
            const auto app = desktop->desktopApplication(pid);
            if (!app) return std::nullopt;
            return app->id;
        };
        options.readOnly = readOnly;
        options.reconnect = !readOnly;
        auto pipewire = PipeWireHal::start(mainQueue, std::move(options));
        server.description = pipewire->serverDescription();
        if (!pipewire->isConnected()) server.unreachable = pipewire->lastFailure();
        server.hal = std::move(pipewire);
        server.workspace = std::move(workspace);
        return server;
    }
    auto workspace = std::make_unique<StaticWorkspace>();
    workspace->pid = static_cast<std::int32_t>(getpid());
    auto sim = std::make_unique<SimHal>(mainQueue);
    DemoWorld::populate(*sim, *workspace);
    server.simulated = sim.get();
    server.hal = std::move(sim);
    server.workspace = std::move(workspace);
    server.description = "simulated (demo)";
    return server;
}

} // namespace voxlane
