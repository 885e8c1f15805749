// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/AudioPermission.h"

#include "audio/AudioDevices.h"
#include "engine/AppTap.h"
#include "platform/Log.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace voxlane::AudioPermission {

Services Services::standard(AudioServer& server, Scheduler& mainQueue, Defaults& defaults,
                            SystemSounds& sounds) {
    return Services{
        server,
        mainQueue,
        defaults,
        sounds,
        [](double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); },
        [](std::function<void()> job) { std::thread(std::move(job)).detach(); },
    };
}

void InFlight::cancel() {
    std::unique_lock lock(mutex_);
    cancelled_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !running_; });
}

bool InFlight::cancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

bool InFlight::begin() {
    std::lock_guard lock(mutex_);
    running_ = !cancelled_;
    return running_;
}

void InFlight::end() {
    std::lock_guard lock(mutex_);
    running_ = false;
    changed_.notify_all();
}

bool InFlight::onMain(Scheduler& mainQueue, std::function<void()> work) {
    if (std::this_thread::get_id() == mainThread_) {
        work();
        return !cancelled();
    }
    auto done = std::make_shared<bool>(false);
    // Runs on the main thread, as cancel() does, so it either runs before cancel() or not at all.
    mainQueue.async([this, self = weak_from_this(), done, work = std::move(work)] {
        const auto alive = self.lock();
        if (!alive || cancelled()) return;
        work();
        std::lock_guard lock(mutex_);
        *done = true;
        changed_.notify_all();
    });
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return *done || cancelled_; });
    return !cancelled_;
}

void Checks::add(std::shared_ptr<InFlight> check) {
    // Checks that nobody else holds any more are over.
    std::erase_if(checks_, [](const auto& c) { return c.use_count() == 1; });
    checks_.push_back(std::move(check));
}

void Checks::cancelAll() {
    for (const auto& c : checks_)
        c->cancel();
    checks_.clear();
}

std::shared_ptr<InFlight> check(const Services& services, std::function<void(Status)> completion) {
    auto flight = std::make_shared<InFlight>();
    services.runInBackground([services, flight, completion = std::move(completion)] {
        if (!flight->begin()) return;
        const Status answer = probe(services, flight);
        // The defaults belong to the main thread: the record is written there, just before
        // the completion learns the answer.
        if (!flight->cancelled()) {
            services.mainQueue.async([services, flight, completion, answer] {
                if (flight->cancelled()) return;
                if (answer == Status::granted) services.defaults.setBoolean(grantedKey, true);
                completion(answer);
            });
        }
        flight->end();
    });
    return flight;
}

Status probe(const Services& services, const std::shared_ptr<InFlight>& flight) {
    AudioServer& server = services.server;
    const auto device = AudioDevices::device(server, server.defaultDevice(Role::output));
    if (!device) return Status::unknown;

    std::unique_ptr<AppTap> tap;
    try {
        tap = std::make_unique<AppTap>(server, std::vector<ObjectId>{}, std::nullopt, device->uid,
                                       AppTap::Mode::meter, 1.0f);
    } catch (const AudioError& error) {
        Log::error("permission", "Prüf-Tap fehlgeschlagen: " + error.description());
        return Status::denied;
    }

    // A cancelled probe leaves at once; the tap takes itself down.
    if (!flight->onMain(services.mainQueue, [&] { services.sounds.play("tick", 0.08f); }))
        return Status::unknown;

    Status answer = Status::denied;
    float level = 0;
    for (int i = 0; i < 12; ++i) {
        services.sleep(0.1);
        if (flight->cancelled()) return Status::unknown;
        const float peak = tap->state().load(TapState::peakLevel);
        tap->state().store(TapState::peakLevel, peak * 0.5f);
        level = std::max(level, peak);
        if (level > 0.0005f) {
            answer = Status::granted;
            break;
        }
    }

    char text[64];
    std::snprintf(text, sizeof text, "%f", double(level));
    Log::info("permission", std::string("Prüfton-Pegel: ") + text);
    tap->invalidate();
    return answer;
}

} // namespace voxlane::AudioPermission
