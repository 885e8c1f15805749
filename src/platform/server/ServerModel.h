// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/ServerTypes.h"

#include <array>
#include <map>

namespace voxlane {

// The state of an audio server as its implementation publishes it to the shared core
// (ServerCore), which answers reads from it and tells subscribers what changed.
struct ServerModel {
    struct Device {
        DeviceInfo info;
        DeviceControl output;
        DeviceControl input;
        bool listed = true; // false for our aggregate devices, which no one else sees

        friend bool operator==(const Device&, const Device&) = default;
    };

    bool connected = false;
    std::map<ObjectId, Device> devices;
    std::map<ObjectId, ProcessInfo> processes;
    std::array<ObjectId, 3> defaults{}; // by Role

    ObjectId& defaultFor(Role role) { return defaults[std::size_t(role)]; }
    ObjectId defaultFor(Role role) const { return defaults[std::size_t(role)]; }
    const Device* device(ObjectId id) const {
        auto it = devices.find(id);
        return it == devices.end() ? nullptr : &it->second;
    }
};

} // namespace voxlane
