// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hal/AggregateDeviceDescription.h"

#include <nlohmann/json.hpp>

namespace voxlane {

nlohmann::json AggregateDeviceDescription::dictionary() const {
    nlohmann::json subs = nlohmann::json::array();
    for (const auto& sub : subDevices)
        subs.push_back({{kAudioSubDeviceUIDKey, sub.uid}});
    nlohmann::json tapList = nlohmann::json::array();
    for (const auto& tap : taps) {
        tapList.push_back({{kAudioSubTapUIDKey, tap.uid},
                           {kAudioSubTapDriftCompensationKey, tap.driftCompensation}});
    }
    return {
        {kAudioAggregateDeviceNameKey, name},
        {kAudioAggregateDeviceUIDKey, uid},
        {kAudioAggregateDeviceMainSubDeviceKey, mainSubDevice},
        {kAudioAggregateDeviceIsPrivateKey, isPrivate},
        {kAudioAggregateDeviceIsStackedKey, isStacked},
        {kAudioAggregateDeviceTapAutoStartKey, tapAutoStart},
        {kAudioAggregateDeviceSubDeviceListKey, std::move(subs)},
        {kAudioAggregateDeviceTapListKey, std::move(tapList)},
    };
}

} // namespace voxlane
