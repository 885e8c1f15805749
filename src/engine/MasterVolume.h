// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioDevice.h"
#include "engine/EngineProperty.h"
#include "engine/MediaKey.h"
#include "platform/server/AudioServer.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace voxlane {

class AppTap;
class Defaults;

// The default output's volume and mute. An output with a volume of its own is read and set
// there; one without gets a software volume, stored per device and applied by a global tap that
// hears everything the per-app taps do not (and by the per-app taps on that output). Main thread.
class MasterVolume {
public:
    struct Hooks {
        std::function<void(EngineProperty)> changed; // a property's value really changed
        std::function<void()> reconcile;             // the software gain changed
        std::function<void()> refresh;               // the output's volume or mute changed
    };

    MasterVolume(AudioServer& server, Defaults& defaults, Hooks hooks);
    ~MasterVolume();

    float volume() const { return volume_; }
    // Whether volume() was read from the output (false without one, or while it has not told).
    bool known() const { return known_; }
    bool muted() const { return muted_; }
    bool softwareActive() const { return softwareActive_; }
    // The gain the taps apply on the default output: 1 with a hardware volume.
    float softwareGain() const;

    // Reads volume and mute of `output` (none: the volume is unknown).
    void refresh(const std::optional<AudioDevice>& output);
    // Listens to the volume and mute of a new default output.
    void watch(const std::optional<AudioDevice>& output);
    std::size_t listenerCount() const { return listeners_.size(); }

    // Raising the volume above 0 ends a mute when `unmuteWhenAudible`.
    void setVolume(const AudioDevice& output, float volume, bool unmuteWhenAudible = true);
    void setMuted(const AudioDevice& output, bool muted);
    // The volume keys on a software volume: 16 steps, 64 with `fine`.
    void handleKey(const AudioDevice& output, MediaKey key, bool fine);

    // The global tap of the software volume: everything but our own sounds and the processes
    // the per-app taps (process mode) already play, on `outputUID`.
    void reconcileGlobalTap(const std::string& outputUID,
                            const std::map<std::string, std::unique_ptr<AppTap>>& taps,
                            std::optional<ObjectId> ownProcess);
    void invalidateGlobalTap();
    const AppTap* globalTap() const { return globalTap_.get(); }

private:
    template <typename T>
    void assign(T& field, T value, EngineProperty property);

    AudioServer& server_;
    Defaults& defaults_;
    Hooks hooks_;
    float volume_ = 0.5f;
    bool known_ = false;
    bool muted_ = false;
    bool softwareActive_ = false;
    bool softwareMuted_ = false;
    std::unique_ptr<AppTap> globalTap_;
    std::vector<Subscription> listeners_;
};

} // namespace voxlane
