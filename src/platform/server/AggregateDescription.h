// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace voxlane {

// An aggregate device to create: sub-devices (real devices, in order) and process taps whose
// streams follow the sub-devices' input streams.
struct AggregateDescription {
    struct SubDevice {
        std::string uid;
    };
    struct SubTap {
        std::string uid; // the tap description's uuid
        bool driftCompensation = false;
    };

    std::string name;
    std::string uid;
    std::string mainSubDevice; // uid of the clock-providing sub-device
    bool isPrivate = false;
    bool isStacked = false;
    bool tapAutoStart = false;
    std::vector<SubDevice> subDevices;
    std::vector<SubTap> taps;
};

} // namespace voxlane
