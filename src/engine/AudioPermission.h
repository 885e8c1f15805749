// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Defaults.h"
#include "platform/Scheduler.h"
#include "platform/SystemSounds.h"
#include "platform/server/AudioServer.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace voxlane {

// Whether we may hear other applications' audio, found by experiment: tap all system audio,
// play a short quiet sound, and look whether any level arrives.
namespace AudioPermission {

enum class Status { unknown, checking, granted, denied };

// The user default written true by a check that answered `granted` (never written false).
inline constexpr const char* grantedKey = "audioAccessGranted";

// What a check works with. The references must outlive every check in flight.
struct Services {
    AudioServer& server;
    Scheduler& mainQueue;
    Defaults& defaults;
    SystemSounds& sounds;
    // Blocks the calling (worker) thread for the given seconds.
    std::function<void(double seconds)> sleep;
    // Runs a job on a worker thread.
    std::function<void(std::function<void()>)> runInBackground;

    // With real sleeps and a detached worker thread per check.
    static Services standard(AudioServer& server, Scheduler& mainQueue, Defaults& defaults,
                             SystemSounds& sounds);
};

// A check in flight. Whoever owns what its services refer to cancels it before they go: the
// worker stops at its next step and neither records nor completes anything.
class InFlight : public std::enable_shared_from_this<InFlight> {
public:
    // Main thread. Returns once the worker no longer touches the services: at once when it has
    // not started or has finished, else after at most one step of the probe (0.1 s).
    void cancel();
    bool cancelled() const;

    // The worker's side.
    bool begin(); // false when cancelled before the worker started
    void end();
    // Runs `work` on the main queue and waits until it ran; false when cancelled first.
    bool onMain(Scheduler& mainQueue, std::function<void()> work);

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool cancelled_ = false;
    bool running_ = false;
    std::thread::id mainThread_ = std::this_thread::get_id(); // checks start there
};

// The checks one owner has started; cancelAll() before the services they use go.
class Checks {
public:
    void add(std::shared_ptr<InFlight> check);
    void cancelAll();

private:
    std::vector<std::shared_ptr<InFlight>> checks_;
};

// Runs the probe on a worker thread; on the main queue records a `granted` answer in the
// defaults and then calls `completion` with the answer. Call from the main thread.
std::shared_ptr<InFlight> check(const Services& services, std::function<void(Status)> completion);

// The experiment itself; blocks for up to 1.2 s of sleeps. Never call it on the main thread:
// it waits for the main queue to start the test sound. Stops early, answering `unknown`, when
// `flight` is cancelled.
Status probe(const Services& services, const std::shared_ptr<InFlight>& flight);

} // namespace AudioPermission
} // namespace voxlane
