// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AppGroup.h"
#include "engine/AppSettings.h"
#include "engine/AppTap.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace voxlane {

// The taps the apps should have, worked out from their settings and the engine's state alone;
// the engine then brings the running taps in line with it (MixerEngine::reconcile).
namespace TapPlan {

// One app's tap as it should be.
struct Tap {
    AppTap::Mode mode = AppTap::Mode::meter;
    std::string outputUID;
    std::vector<ObjectId> objectIDs;
    float gain = 1.0f; // the app's volume and mute, times the software master where it plays
    float duck = 1.0f;
    std::vector<float> eq; // band gains in dB

    // Whether a running tap serves as this one: the settings can be handed to it on the fly.
    bool sameTap(const AppTap& running) const {
        return running.mode() == mode && running.outputUID() == outputUID &&
               running.objectIDs() == objectIDs;
    }
};

struct Inputs {
    std::span<const AppGroup> apps;
    std::function<AppSettings(const std::string& id)> settings;
    std::optional<std::string> soloID;
    std::function<bool(const AppGroup&)> isDucked;
    float duckLevel = 1.0f;
    bool metering = false; // level meters are wanted
    // Playing apps that have a process tap keep it for a while after a call ended, so that the
    // level comes back smoothly.
    bool keepProcessTaps = false;
    // Apps that have a process tap running.
    std::set<std::string> processTapped;
    std::set<std::string> outputUIDs; // the connected outputs
    std::string defaultOutputUID;
    float softwareMasterGain = 1.0f; // applied to taps that play on the default output
};

// Per-app gain from a volume of 0…2: squared up to unity, then up to +12 dB at 2.
float gainForVolume(float volume);

// App id to tap, for every app that should have one.
std::map<std::string, Tap> desired(const Inputs& inputs);

} // namespace TapPlan
} // namespace voxlane
