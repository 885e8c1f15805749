// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/ServerTypes.h"

#include <ostream>
#include <string>

namespace voxlane {

// A failed audio server operation: what was attempted (the German operation name) and why the
// server refused it. Thrown only by the tap set-up.
struct AudioError {
    std::string what;
    ServerError error = ServerError::failed;

    // "<what> fehlgeschlagen (<error>)"
    std::string description() const {
        return what + " fehlgeschlagen (" + std::string(errorText(error)) + ")";
    }

    friend bool operator==(const AudioError&, const AudioError&) = default;
    friend std::ostream& operator<<(std::ostream& out, const AudioError& error) {
        return out << error.description();
    }
};

} // namespace voxlane
