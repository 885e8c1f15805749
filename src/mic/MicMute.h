// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/AudioServer.h"

#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace voxlane {

class Defaults;

// Mutes every microphone at once and puts each back exactly as it was.
//
// An input device is muted through its hardware input mute, or, when it has none that can be
// set, by setting its input volume to 0. What each device had before is saved, by UID, before
// anything is changed, and written at once to the defaults under "micMuteSavedState", so that a
// crash while muted is repaired at the next start: creating a MicMute puts back whatever the
// stored state still holds. Restoring skips devices that are not connected and keeps their
// entries until they come back. A device that goes and comes back while muted (unplugged, or
// the audio server restarted) is muted again and keeps its entry. Main thread only.
class MicMute {
public:
    static constexpr const char* key = "micMuteSavedState";

    // What to put back on one device.
    struct Saved {
        enum class Kind { mute, volume };
        Kind kind = Kind::mute;
        // mute: the previous mute state, 0 or 1; volume: the previous input volume, 0…1.
        float value = 0;

        bool operator==(const Saved&) const = default;
    };
    using SavedMap = std::map<std::string, Saved, std::less<>>;

    // Loads the stored state and, when it is not empty (the program ended while muted without
    // restoring) and `restoreAtStart`, logs it and restores at once.
    MicMute(AudioServer& server, Defaults& defaults, bool restoreAtStart = true);
    MicMute(const MicMute&) = delete;
    MicMute& operator=(const MicMute&) = delete;

    // Mutes every connected input device that has no saved entry yet, and mutes again those
    // with an entry that were not connected at the last call. The state of the devices it
    // mutes for the first time is saved and stored before the first one is changed.
    void muteAll();
    // Puts back every saved device that is connected; entries of absent devices stay.
    void restore();

    // Whether the user has muted the microphones through this feature. Recorded by the owner
    // after muteAll() or restore(); it changes no device.
    bool isMuted() const { return isMuted_; }
    void setIsMuted(bool muted) { isMuted_ = muted; }

    const SavedMap& saved() const { return saved_; }

    // The stored form: a JSON object from device UID to {"kind": "mute"|"volume", "value": n},
    // decoded entry by entry: an entry of another shape is left out (and reported in
    // `unreadable` as {uid: entry}), the others load. A mute value other than 0 reads as muted
    // (1); a volume is limited to 0…1.
    struct Decoded {
        SavedMap saved;
        std::vector<nlohmann::json> unreadable;
    };
    static Decoded decode(const nlohmann::json& stored);
    static nlohmann::json encode(const SavedMap& saved);

private:
    void persist();
    // What decodes; the rest is logged and set aside under "unreadable".
    static SavedMap load(Defaults& defaults);

    AudioServer& server_;
    Defaults& defaults_;
    SavedMap saved_;
    std::set<std::string, std::less<>> connectedWhenMuted_; // input devices at the last muteAll
    bool isMuted_ = false;
};

} // namespace voxlane
