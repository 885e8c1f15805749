#include "coreaudio/AudioPermission.h"

#include "coreaudio/AudioDevices.h"
#include "coreaudio/CA.h"
#include "engine/AppTap.h"
#include "platform/Log.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace voxlane::AudioPermission {

Services Services::standard(Hal& hal, Scheduler& mainQueue, Defaults& defaults,
                            SystemSounds& sounds) {
    return Services{
        hal,
        mainQueue,
        defaults,
        sounds,
        [](double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); },
        [](std::function<void()> job) { std::thread(std::move(job)).detach(); },
    };
}

void check(const Services& services, std::function<void(Status)> completion) {
    services.runInBackground([services, completion = std::move(completion)] {
        const Status answer = probe(services);
        // The defaults belong to the main thread: the record is written there, just before
        // the completion learns the answer.
        services.mainQueue.async([services, completion, answer] {
            if (answer == Status::granted) services.defaults.setBoolean(grantedKey, true);
            completion(answer);
        });
    });
}

Status probe(const Services& services) {
    Hal& hal = services.hal;
    const AudioObjectID output =
        CA::value<std::uint32_t>(hal, kAudioObjectSystemObject,
                                 CA::address(kAudioHardwarePropertyDefaultOutputDevice))
            .value_or(0);
    const auto device = AudioDevices::device(hal, output);
    if (!device) return Status::unknown;

    std::unique_ptr<AppTap> tap;
    try {
        tap = std::make_unique<AppTap>(hal, std::vector<AudioObjectID>{}, std::nullopt, device->uid,
                                       AppTap::Mode::meter, 1.0f);
    } catch (const CoreAudioError& error) {
        Log::error("permission", "Prüf-Tap fehlgeschlagen: " + error.description());
        return Status::denied;
    }

    services.mainQueue.sync([&] { services.sounds.play("Tink", 0.08f); });

    Status answer = Status::denied;
    float level = 0;
    for (int i = 0; i < 12; ++i) {
        services.sleep(0.1);
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

const std::string& settingsURL() {
    static const std::string url = "settings://sound";
    return url;
}

} // namespace voxlane::AudioPermission
