#pragma once

#include "devices/DeviceRule.h"

#include <nlohmann/json_fwd.hpp>
#include <span>
#include <vector>

namespace voxlane {

class Defaults;
struct AudioDevice;

// The user's device priorities and switching options, stored as JSON data under "deviceRules".
struct DeviceRules {
    static constexpr const char* key = "deviceRules";

    std::vector<DeviceRule> outputs; // first = highest priority
    std::vector<DeviceRule> inputs;
    bool outputsRanked = false;
    bool inputsRanked = false;
    bool keepBluetoothHighQuality = true;
    bool alertsFollowOutput = true;

    // The stored value, key by key: a key that is missing or does not decode takes its default;
    // one bad rule empties its whole list.
    static DeviceRules load(const Defaults& defaults);
    void save(Defaults& defaults) const;

    // Merges the connected devices into both lists: known devices get their current name and
    // transport and keep their place and flag; new ones are appended with the lowest priority.
    void learn(std::span<const AudioDevice> devices);

    bool operator==(const DeviceRules&) const = default;
};

void to_json(nlohmann::json& json, const DeviceRule& rule);
void to_json(nlohmann::json& json, const DeviceRules& rules);
// Lenient decoding of a whole value as load() does it; never throws.
DeviceRules decodeDeviceRules(const nlohmann::json& json);

} // namespace voxlane
