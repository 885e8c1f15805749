// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/hal/HalTypes.h"

#include <optional>
#include <string>

namespace voxlane {

// One audio client process as the Hal reports it.
struct AudioProcess {
    AudioObjectID objectID = 0; // the process object handed to process taps
    std::int32_t pid = 0;
    std::optional<std::string> bundleID;
    bool isPlaying = false;
    bool isRecording = false;

    friend bool operator==(const AudioProcess&, const AudioProcess&) = default;
};

} // namespace voxlane
