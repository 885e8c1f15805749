// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/AudioSetup.h"

#include "platform/LinuxWorkspace.h"
#include "platform/StaticWorkspace.h"
#include "platform/server/DemoWorld.h"
#include "platform/server/PipeWireServer.h"
#include "platform/server/SimServer.h"

#include <unistd.h>

namespace voxlane {

AudioSetup AudioSetup::open(Scheduler& mainQueue, bool demo, bool readOnly) {
    AudioSetup setup;
    if (!demo) {
        auto workspace = std::make_unique<LinuxWorkspace>();
        PipeWireServer::Options options;
        const LinuxWorkspace* desktop = workspace.get();
        options.appIdResolver = [desktop](pid_t pid) -> std::optional<std::string> {
            const auto app = desktop->desktopApplication(pid);
            if (!app) return std::nullopt;
            return app->id;
        };
        options.readOnly = readOnly;
        options.reconnect = !readOnly;
        auto pipewire = PipeWireServer::start(mainQueue, std::move(options));
        setup.description = pipewire->serverDescription();
        if (!pipewire->isConnected()) setup.unreachable = pipewire->lastFailure();
        setup.server = std::move(pipewire);
        setup.workspace = std::move(workspace);
        return setup;
    }
    auto workspace = std::make_unique<StaticWorkspace>();
    workspace->pid = static_cast<std::int32_t>(getpid());
    auto sim = std::make_unique<SimServer>(mainQueue);
    DemoWorld::populate(*sim, *workspace);
    setup.simulated = sim.get();
    setup.server = std::move(sim);
    setup.workspace = std::move(workspace);
    setup.description = "simulated (demo)";
    return setup;
}

} // namespace voxlane
