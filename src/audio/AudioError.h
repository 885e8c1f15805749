// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/hal/HalTypes.h"

#include <ostream>
#include <string>

namespace voxlane {

// A failed audio server operation: what was attempted (the German operation name) and the
// status the server returned. Thrown only by the tap set-up.
struct AudioError {
    std::string what;
    OSStatus status = 0;

    // "<what> fehlgeschlagen (OSStatus <status>)"
    std::string description() const {
        return what + " fehlgeschlagen (OSStatus " + std::to_string(status) + ")";
    }

    friend bool operator==(const AudioError&, const AudioError&) = default;
    friend std::ostream& operator<<(std::ostream& out, const AudioError& error) {
        return out << error.description();
    }
};

} // namespace voxlane
