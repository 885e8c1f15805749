// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/hal/HalConstants.h"

#include <string>

namespace voxlane {

// One audio device as the user sees it. `uid` is the stable key of a device everywhere.
struct AudioDevice {
    AudioObjectID id = kAudioObjectUnknown;
    std::string uid;
    std::string name;
    std::uint32_t transport = 0; // a kAudioDeviceTransportType… code, 0 when unknown
    bool hasOutput = false;
    bool hasInput = false;

    bool isBluetooth() const {
        return transport == kAudioDeviceTransportTypeBluetooth ||
               transport == kAudioDeviceTransportTypeBluetoothLE;
    }
    // The symbol image name shown for the device.
    std::string symbolName() const;

    friend bool operator==(const AudioDevice&, const AudioDevice&) = default;
};

} // namespace voxlane
