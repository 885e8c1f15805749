#pragma once

#include <memory>
#include <string>

namespace voxlane {

class Hal;
class Scheduler;
class SimHal;
class Workspace;

// The audio server Voxlane runs on, with the desktop that goes with it: the user's PipeWire and
// the real workspace, or the simulated server with the demo desktop.
struct AudioServer {
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<Hal> hal;
    SimHal* simulated = nullptr; // set when `hal` is the simulated server
    std::string description;     // "PipeWire 0.3.65", "simulated (demo)"
    std::string fallbackReason;  // why PipeWire was not used, when it was not asked for --demo

    // PipeWire when it is reachable, otherwise (or with `demo`) the simulated server.
    static AudioServer open(Scheduler& mainQueue, bool demo);
};

} // namespace voxlane
