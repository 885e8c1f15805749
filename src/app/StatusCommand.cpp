// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StatusCommand.h"

#include "engine/AudioPermission.h"
#include "engine/MixerEngine.h"
#include "engine/StatusReport.h"
#include "platform/AudioSetup.h"
#include "platform/Defaults.h"
#include "platform/ManualScheduler.h"
#include "platform/SystemEvents.h"
#include "platform/SystemSounds.h"
#include "platform/Workspace.h"
#include "platform/server/AudioServer.h"

#include <iostream>
#include <nlohmann/json.hpp>

namespace voxlane {

int runStatusCommand(const std::vector<std::string>& arguments) {
    bool json = false, demo = false;
    for (const auto& argument : arguments) {
        if (argument == "--status") continue;
        if (argument == "--json") {
            json = true;
        } else if (argument == "--demo") {
            demo = true;
        } else {
            std::cerr << "voxlane: unknown option " << argument
                      << "\nusage: voxlane --status [--json] [--demo]\n";
            return 2;
        }
    }

    // Looking changes nothing: the audio server is only read (no tap, no sound, no write), the
    // engine puts back no microphone, and it works on a copy of the stored settings without
    // the audio permission.
    ManualScheduler scheduler;
    AudioSetup server = AudioSetup::open(scheduler, demo, /*readOnly=*/true);
    if (!server.unreachable.empty())
        std::cerr << "voxlane: PipeWire is not reachable (" << server.unreachable << ")\n";

    const auto stored = Defaults::readOnlyCopy(Defaults::defaultPath());
    auto copy = Defaults::fromText(stored->text());
    if (!copy) copy = Defaults::inMemory();
    const bool granted = stored->boolean(AudioPermission::grantedKey).value_or(false);
    copy->remove(AudioPermission::grantedKey);

    SystemSounds sounds(*server.server);
    SystemEvents events;
    MixerEngine engine({*server.server,
                        scheduler,
                        *copy,
                        *server.workspace,
                        sounds,
                        events,
                        {},
                        {},
                        nullptr,
                        true});
    scheduler.runPending();

    const auto access =
        granted ? AudioPermission::Status::granted : AudioPermission::Status::unknown;
    if (json) {
        std::cout << StatusReport::json(engine, server.description, access).dump(2) << "\n";
    } else {
        std::cout << StatusReport::text(engine, server.description, access);
    }
    return 0;
}

} // namespace voxlane
