#pragma once

#include <cstdint>
#include <string>

namespace voxlane {

// One device in a priority list, remembered while the device is away.
struct DeviceRule {
    std::string uid;
    std::string name;            // last known name, shown while the device is absent
    std::uint32_t transport = 0; // last known transport code
    bool never = false;          // never switch to this device automatically

    std::string_view id() const { return uid; }
    bool operator==(const DeviceRule&) const = default;
};

} // namespace voxlane
