// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace voxlane {

// An aggregate device to create: an output device of the server (by uid) that carries process
// taps as extra inputs, after its own input streams. A render callback on it plays to that
// device. Ours only: the device list does not show it.
struct AggregateDescription {
    std::string name;
    std::string uid;
    std::string mainSubDevice;           // uid of the device it plays to
    std::vector<std::string> subDevices; // uids of devices whose inputs it carries, in order
    std::vector<std::string> taps;       // the tap descriptions' uuids, in order

    // The devices it may play to, in the order tried: the main one, then the sub-devices.
    std::vector<std::string> playbackCandidates() const {
        std::vector<std::string> uids{mainSubDevice};
        uids.insert(uids.end(), subDevices.begin(), subDevices.end());
        return uids;
    }
};

} // namespace voxlane
