// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

namespace voxlane {

// Keys of an aggregate device description in its dictionary form.
inline constexpr const char* kAudioAggregateDeviceNameKey = "name";
inline constexpr const char* kAudioAggregateDeviceUIDKey = "uid";
inline constexpr const char* kAudioAggregateDeviceMainSubDeviceKey = "master";
inline constexpr const char* kAudioAggregateDeviceIsPrivateKey = "private";
inline constexpr const char* kAudioAggregateDeviceIsStackedKey = "stacked";
inline constexpr const char* kAudioAggregateDeviceTapAutoStartKey = "tapautostart";
inline constexpr const char* kAudioAggregateDeviceSubDeviceListKey = "subdevices";
inline constexpr const char* kAudioAggregateDeviceTapListKey = "taps";
inline constexpr const char* kAudioSubDeviceUIDKey = "uid";
inline constexpr const char* kAudioSubTapUIDKey = "uid";
inline constexpr const char* kAudioSubTapDriftCompensationKey = "drift";

// An aggregate device to create: sub-devices (real devices, in order) and process taps whose
// streams follow the sub-devices' input streams.
struct AggregateDeviceDescription {
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

    // The dictionary form, under the published keys above.
    nlohmann::json dictionary() const;
};

} // namespace voxlane
