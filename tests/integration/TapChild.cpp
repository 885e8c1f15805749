// SPDX-License-Identifier: GPL-3.0-or-later
// A separate Voxlane-like process for the integration tests: taps the process with the given pid
// (processing mode, given gain, played to the given device) and holds the tap until SIGTERM or
// SIGINT, when it ends normally. The tests kill it with SIGKILL too.
//
//   voxlane_tap_child PID DEVICE-UID GAIN
#include "engine/AppTap.h"
#include "platform/ManualScheduler.h"
#include "platform/server/PipeWireServer.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {
volatile std::sig_atomic_t stopRequested = 0;
}

int main(int argc, char** argv) {
    using namespace voxlane;
    if (argc != 4) return 2;
    const auto onSignal = [](int) { stopRequested = 1; };
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    ManualScheduler scheduler;
    auto server = PipeWireServer::connect(scheduler, {});
    // The process object of the pid (it may take a moment to show up).
    ObjectId process = noObject;
    for (int i = 0; server && i < 500 && !process; ++i) {
        scheduler.runPending();
        if (!(process = server->processOf(std::atoi(argv[1]))))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!process) return 1;
    try {
        AppTap tap(*server, {process}, std::nullopt, argv[2], AppTap::Mode::process,
                   float(std::atof(argv[3])));
        while (!stopRequested) {
            scheduler.runPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    } catch (const AudioError& error) {
        std::fprintf(stderr, "%s\n", error.description().c_str());
        return 1;
    }
    server.reset();
    return 0;
}
