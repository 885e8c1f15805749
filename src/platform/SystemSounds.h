// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/AudioServer.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace voxlane {

// The named alert sounds "tick" (high) and "pop" (low): two short sounds of our own (mono, 48 kHz),
// played once through the audio server on the alert device. Main thread.
class SystemSounds {
public:
    using Samples = std::shared_ptr<const std::vector<float>>;

    // The built-in sounds.
    static std::map<std::string, Samples> builtIn();

    explicit SystemSounds(AudioServer& server,
                          std::map<std::string, Samples> catalogue = builtIn());

    bool has(const std::string& name) const { return catalogue_.count(name) != 0; }
    // Plays the named sound at `volume` (0…1). False when there is no such sound or the audio
    // server refused it; nothing is played then.
    bool play(const std::string& name, float volume = 1.0f);

private:
    AudioServer& server_;
    std::map<std::string, Samples> catalogue_;
};

} // namespace voxlane
