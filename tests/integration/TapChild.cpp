// SPDX-License-Identifier: GPL-3.0-or-later
// A separate Voxlane-like process for the integration tests: connects to PipeWire, taps the
// process with the given pid (processing mode, given gain, played to the given device) and
// holds the tap until SIGTERM or SIGINT, when it ends normally. The tests kill it with SIGKILL
// too, to see what a crash leaves behind.
//
//   voxlane_tap_child PID DEVICE-UID GAIN
#include "engine/AppTap.h"
#include "platform/ManualScheduler.h"
#include "platform/server/PipeWireServer.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) {
    stopRequested = 1;
}

} // namespace

int main(int argc, char** argv) {
    using namespace voxlane;
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s PID DEVICE-UID GAIN\n", argv[0]);
        return 2;
    }
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    const std::int32_t pid = std::atoi(argv[1]);
    ManualScheduler scheduler;
    std::string why;
    auto server = PipeWireServer::connect(scheduler, {}, &why);
    if (!server) {
        std::fprintf(stderr, "no PipeWire: %s\n", why.c_str());
        return 1;
    }
    // The process object of the pid (it may take a moment to show up).
    ObjectId process = 0;
    for (int i = 0; i < 500 && !process; ++i) {
        scheduler.runPending();
        process = server->processOf(pid);
        if (!process) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!process) {
        std::fprintf(stderr, "no process object for pid %d\n", pid);
        return 1;
    }
    std::unique_ptr<AppTap> tap;
    try {
        tap = std::make_unique<AppTap>(*server, std::vector<ObjectId>{process}, std::nullopt,
                                       argv[2], AppTap::Mode::process, float(std::atof(argv[3])));
    } catch (const AudioError& error) {
        std::fprintf(stderr, "%s\n", error.description().c_str());
        return 1;
    }
    std::printf("READY\n");
    std::fflush(stdout);
    while (!stopRequested) {
        scheduler.runPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    tap.reset();
    server.reset();
    return 0;
}
