// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

namespace voxlane {

class AudioServer;
class Scheduler;
class SimServer;
class Workspace;

// The audio server Voxlane runs on, with the desktop that goes with it: the user's PipeWire and
// the real workspace, or the simulated server with the demo desktop.
struct AudioSetup {
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<AudioServer> server;
    SimServer* simulated = nullptr; // set when `server` is the simulated one
    std::string description;        // "PipeWire 0.3.65", "simulated (demo)"
    std::string unreachable; // why PipeWire could not be reached at the start, if it could not

    // The user's PipeWire, or with `demo` the simulated server with its demo applications.
    // Without a reachable PipeWire the server is empty and connects when PipeWire appears;
    // `readOnly` makes it one that only looks (and does not wait).
    static AudioSetup open(Scheduler& mainQueue, bool demo, bool readOnly = false);
};

} // namespace voxlane
