// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioError.h"
#include "engine/TapState.h"
#include "platform/server/AudioServer.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace voxlane {

// One process tap with its private aggregate device and render callback: hears (mode `meter`) or
// replaces (mode `process`) the audio of a set of processes on one output device.
//
// The aggregate device's only sub-device is the output device and its input carries the tap;
// the render callback hands every cycle to `state`, which writes to the output device. The
// callback runs on the audio server's real-time thread and touches only the `TapState` it
// shares with this object, which it keeps alive while it exists.
//
// A tap is never restarted: to change processes, device or mode, build a new one. Construction,
// `invalidate()` and destruction run on the creator's thread. The server must outlive the tap.
class AppTap {
public:
    enum class Mode { meter, process };

    // Builds and starts the tap; throws AudioError ("Tap erstellen", "Aggregate Device
    // erstellen", "IOProc erstellen", "Wiedergabe starten") after destroying whatever it built.
    // With `excluding`, or with no `objectIDs`, the tap hears all system audio (except those).
    // `label` says whom the tap serves (an app's name); the server shows its objects as
    // "Voxlane: <label>".
    AppTap(AudioServer& server, std::vector<ObjectId> objectIDs,
           std::optional<std::vector<ObjectId>> excluding, std::string outputUID, Mode mode,
           float gain, const std::string& label = {});
    ~AppTap();
    AppTap(const AppTap&) = delete;
    AppTap& operator=(const AppTap&) = delete;

    // Stops and destroys whatever exists, aggregate device before tap. Idempotent; never fails.
    void invalidate();

    const std::vector<ObjectId>& objectIDs() const { return objectIDs_; }
    const std::optional<std::vector<ObjectId>>& excluding() const { return excluding_; }
    const std::string& outputUID() const { return outputUID_; }
    Mode mode() const { return mode_; }
    TapState& state() { return *state_; }
    const TapState& state() const { return *state_; }
    const std::shared_ptr<TapState>& sharedState() const { return state_; }
    ObjectId tapID() const { return tap_.object(); }
    ObjectId aggregateID() const { return aggregate_.object(); }
    // The render callback on the aggregate device, while it exists.
    const ServerHandle& render() const { return render_; }

private:
    void start(const std::string& label);
    void disableInputStreams(int count);

    AudioServer& server_;
    std::vector<ObjectId> objectIDs_;
    std::optional<std::vector<ObjectId>> excluding_;
    std::string outputUID_;
    Mode mode_;
    std::shared_ptr<TapState> state_;
    ServerHandle tap_;
    ServerHandle aggregate_;
    ServerHandle render_;
};

} // namespace voxlane
