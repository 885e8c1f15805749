// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/ServerTypes.h"

#include <optional>
#include <string>

namespace voxlane {

// One audio client process as the audio server reports it.
struct AudioProcess {
    ObjectId objectID = 0; // the process object handed to process taps
    std::int32_t pid = 0;
    std::optional<std::string> appId; // the desktop entry id the server names
    bool isPlaying = false;
    bool isRecording = false;

    friend bool operator==(const AudioProcess&, const AudioProcess&) = default;
};

} // namespace voxlane
