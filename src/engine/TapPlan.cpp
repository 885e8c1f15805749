// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TapPlan.h"

#include <cmath>

namespace voxlane::TapPlan {

float gainForVolume(float volume) {
    if (volume <= 1.0f) return volume * volume;
    return std::pow(10.0f, (volume - 1.0f) * 12.0f / 20.0f);
}

namespace {

// Apps whose settings are their defaults get no tap unless ducking, a kept tap or the meters
// need one.
std::optional<AppTap::Mode> modeFor(const Inputs& in, const AppGroup& app,
                                    const AppSettings& record, bool soloedOut, bool ducked) {
    const bool playing = app.isPlaying();
    if (soloedOut || !record.isDefault() || ducked) return AppTap::Mode::process;
    if (playing && in.processTapped.count(app.id) && (in.keepProcessTaps || in.metering))
        return AppTap::Mode::process;
    if (in.metering && playing) return AppTap::Mode::meter;
    return std::nullopt;
}

} // namespace

std::map<std::string, Tap> desired(const Inputs& in) {
    std::map<std::string, Tap> taps;
    for (const AppGroup& app : in.apps) {
        const AppSettings record = in.settings(app.id);
        const bool soloedOut = in.soloID && *in.soloID != app.id;
        const bool ducked = in.isDucked(app);
        const auto mode = modeFor(in, app, record, soloedOut, ducked);
        if (!mode) continue;

        Tap tap;
        tap.mode = *mode;
        tap.outputUID = record.outputUID && in.outputUIDs.count(*record.outputUID)
                            ? *record.outputUID
                            : in.defaultOutputUID;
        tap.objectIDs = app.objectIDs();
        const float master = tap.outputUID == in.defaultOutputUID ? in.softwareMasterGain : 1.0f;
        tap.gain = (record.muted || soloedOut) ? 0.0f : gainForVolume(record.volume) * master;
        tap.duck = ducked ? in.duckLevel : 1.0f;
        tap.eq = record.eq.gains;
        taps.emplace(app.id, std::move(tap));
    }
    return taps;
}

} // namespace voxlane::TapPlan
