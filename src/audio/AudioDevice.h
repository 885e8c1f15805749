// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/ServerTypes.h"

#include <string>

namespace voxlane {

// One audio device as the user sees it. `uid` is the stable key of a device everywhere.
struct AudioDevice {
    ObjectId id = noObject;
    std::string uid;
    std::string name;
    Transport transport = Transport::unknown;
    bool hasOutput = false;
    bool hasInput = false;

    bool isBluetooth() const { return voxlane::isBluetooth(transport); }
    // The symbol image name shown for the device.
    std::string symbolName() const;

    friend bool operator==(const AudioDevice&, const AudioDevice&) = default;
};

} // namespace voxlane
