// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AppGroup.h"
#include "engine/EngineProperty.h"

#include <functional>
#include <optional>
#include <vector>

namespace voxlane {

class Defaults;
class Scheduler;

// Lowering the other apps while a call runs: which app is on a call, whether lowering is on
// (stored), paused for this call, and how far it lowers (stored). Main thread.
class CallDucking {
public:
    struct Hooks {
        std::function<void(EngineProperty)> changed; // a property's value really changed
        std::function<void()> reconcile;             // run when a release has faded out
    };

    CallDucking(Defaults& defaults, Scheduler& scheduler, Hooks hooks);

    const std::optional<AppGroup>& activeCall() const { return activeCall_; }
    bool pausedForCall() const { return pausedForCall_; }
    bool enabled() const { return enabled_; }
    float level() const { return level_; }

    bool isDucking() const;
    bool isDucked(const AppGroup& app) const;
    // Shortly after lowering ends, the taps that did it stay so that the level comes back
    // smoothly.
    bool releasing() const;

    // Finds the call among `apps`; a new call (or none) ends a pause.
    void update(const std::vector<AppGroup>& apps);
    void setPausedForCall(bool paused);
    void setEnabled(bool enabled);
    void setLevel(float level); // clamped to 0…1

private:
    template <typename T>
    void assign(T& field, T value, EngineProperty property);

    Defaults& defaults_;
    Scheduler& scheduler_;
    Hooks hooks_;
    std::optional<AppGroup> activeCall_;
    bool pausedForCall_ = false;
    bool enabled_ = true;
    float level_ = 0.3f;
    double releaseUntil_;
};

} // namespace voxlane
