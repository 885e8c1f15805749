// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/Transport.h"

#include <cstdint>
#include <string>

namespace voxlane {

// One device in a priority list, remembered while the device is away.
struct DeviceRule {
    std::string uid;
    std::string name;                         // last known name, shown while the device is absent
    Transport transport = Transport::unknown; // as last seen
    bool never = false;                       // never switch to this device automatically
    // The user gave the device its place (dragged it or one below it, or switched the list's
    // order on while it was in the list). Rules that are neither ranked nor `never` were only
    // learned, and the oldest of them are forgotten when a list grows too long.
    bool ranked = false;

    std::string_view id() const { return uid; }
    bool operator==(const DeviceRule&) const = default;
};

} // namespace voxlane
