#pragma once

#include "platform/Defaults.h"
#include "platform/Scheduler.h"
#include "platform/SystemSounds.h"
#include "platform/hal/Hal.h"

#include <functional>
#include <string>

namespace voxlane {

// Whether we may hear other applications' audio, found by experiment: tap all system audio,
// play a short quiet sound, and look whether any level arrives.
namespace AudioPermission {

enum class Status { unknown, checking, granted, denied };

// The user default written true by a check that answered `granted` (never written false).
inline constexpr const char* grantedKey = "audioAccessGranted";

// What a check works with. The references must outlive every check in flight.
struct Services {
    Hal& hal;
    Scheduler& mainQueue;
    Defaults& defaults;
    SystemSounds& sounds;
    // Blocks the calling (worker) thread for the given seconds.
    std::function<void(double seconds)> sleep;
    // Runs a job on a worker thread.
    std::function<void(std::function<void()>)> runInBackground;

    // With real sleeps and a detached worker thread per check.
    static Services standard(Hal& hal, Scheduler& mainQueue, Defaults& defaults,
                             SystemSounds& sounds);
};

// Runs the probe on a worker thread; on the main queue records a `granted` answer in the
// defaults and then calls `completion` with the answer. Call from the main thread.
void check(const Services& services, std::function<void(Status)> completion);

// The experiment itself; blocks for up to 1.2 s of sleeps. Never call it on the main thread:
// it waits for the main queue to start the test sound.
Status probe(const Services& services);

// Where the user looks at the desktop's sound settings: the cross-desktop "settings://" URL
// scheme (answered by the desktop's settings application), section sound.
const std::string& settingsURL();

} // namespace AudioPermission
} // namespace voxlane
