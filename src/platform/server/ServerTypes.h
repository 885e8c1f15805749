// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/Transport.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace voxlane {

// An object of the audio server: a device, a process, or a tap or combined device of ours.
// Ids are made by the server implementation, are never 0 and are not reused within a run.
using ObjectId = std::uint32_t;
inline constexpr ObjectId noObject = 0;

// A render callback registered on a device; 0 is never handed out.
using RenderId = std::uint64_t;

// What a default device is for: playback, recording, or alert and event sounds.
enum class Role { output, input, alerts };

// One direction of a device: what it plays or what it records.
enum class Side { output, input };

// Why an operation failed.
enum class ServerError {
    none = 0,
    notRunning,    // no server, or the object's server side is gone
    unknownObject, // no such device, process, tap or render callback
    unsupported,   // the object has no such control, or the operation makes no sense for it
    notPermitted,  // the server or the object refused it (read-only, sandbox)
    badValue,      // a value out of range or a description that does not fit
    failed,        // anything else
};

// "not running", "unknown object"…; for log messages.
std::string_view errorText(ServerError error);

// What the user knows a device by, and what it carries.
struct DeviceInfo {
    ObjectId id = noObject;
    std::string uid;  // stable across runs and reconnections
    std::string name; // what the desktop calls it; may be empty
    Transport transport = Transport::unknown;
    std::vector<std::uint32_t> outputStreams; // channels of each output stream
    std::vector<std::uint32_t> inputStreams;  // channels of each input stream
    double sampleRate = 48000;

    bool hasOutput() const { return !outputStreams.empty(); }
    bool hasInput() const { return !inputStreams.empty(); }
    friend bool operator==(const DeviceInfo&, const DeviceInfo&) = default;
};

// The volume and mute of one side of a device. `volume` is what the user hears, as a slider
// position from 0 to 1; absent when the device has no such control.
struct DeviceControl {
    std::optional<float> volume;
    bool volumeSettable = false;
    std::optional<bool> mute;
    bool muteSettable = false;

    friend bool operator==(const DeviceControl&, const DeviceControl&) = default;
};

// A client process of the server and what it does now.
struct ProcessInfo {
    ObjectId id = noObject;
    std::int32_t pid = 0;
    std::optional<std::string> appId; // its desktop entry id, when known
    bool playing = false;             // one of its output streams runs
    bool recording = false;           // one of its input streams runs

    friend bool operator==(const ProcessInfo&, const ProcessInfo&) = default;
};

// The sample format a tap delivers: 32-bit float samples.
struct StreamFormat {
    double sampleRate = 0;
    std::uint32_t channels = 0;
    bool interleaved = true; // false: one buffer per channel

    friend bool operator==(const StreamFormat&, const StreamFormat&) = default;
};

// What a subscription hears about. `devices`, `processes`, `defaults` and `connection` are the
// server's; `volume`, `mute` and `running` are one object's (a device's either side, a
// process's playing or recording).
enum class Change { devices, processes, defaults, connection, volume, mute, running };

} // namespace voxlane
