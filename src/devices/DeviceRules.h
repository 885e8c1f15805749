// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devices/DeviceRule.h"

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace voxlane {

class Defaults;
struct AudioDevice;

// The user's device priorities and switching options, stored under "deviceRules" as a JSON
// object: {"outputs": [rule…], "inputs": [rule…], "outputsRanked", "inputsRanked",
// "keepBluetoothHighQuality", "alertsFollowOutput"}, a rule being {"uid", "name", "transport",
// "never"} and "ranked": true when it is. The transport is a word ("usb", "bluetooth",
// "builtin"…; see transportWord); the first format's numbers are read too.
struct DeviceRules {
    static constexpr const char* key = "deviceRules";
    // Rules that were only learned (neither ranked nor never) beyond this many in one list are
    // forgotten, oldest first.
    static constexpr std::size_t maxLearned = 64;

    std::vector<DeviceRule> outputs; // first = highest priority
    std::vector<DeviceRule> inputs;
    bool outputsRanked = false;
    bool inputsRanked = false;
    bool keepBluetoothHighQuality = true;
    bool alertsFollowOutput = true;

    // The stored value decoded key by key and rule by rule: a key that is missing or does not
    // decode takes its default, a rule that does not decode is left out of its list.
    struct Decoded;
    static Decoded decode(const nlohmann::json& stored);
    // The stored value as decode() gives it; what does not decode is logged and set aside
    // under "unreadable", so that the next save cannot lose it.
    static DeviceRules load(Defaults& defaults);
    // False (logged) when the value could not be stored (a name that is not UTF-8).
    bool save(Defaults& defaults) const;

    // Merges the connected devices into both lists: known devices get their current name and
    // transport and keep their place and flags; new ones are appended with the lowest priority.
    // Then each list sheds learned rules of devices that are not connected, from the top,
    // until it holds at most `maxLearned` rules or none are left to shed.
    void learn(std::span<const AudioDevice> devices);

    bool operator==(const DeviceRules&) const = default;
};

struct DeviceRules::Decoded {
    struct Unreadable {
        nlohmann::json record; // {"outputs": [rule]}, {"inputs": [rule]} or the whole value
        std::string reason;
    };
    DeviceRules rules;
    std::vector<Unreadable> unreadable;
};

// The stored word for a transport, and the transport a stored word names.
std::string_view transportWord(Transport transport);
std::optional<Transport> transportNamed(std::string_view word);

void to_json(nlohmann::json& json, const DeviceRule& rule);
void to_json(nlohmann::json& json, const DeviceRules& rules);

} // namespace voxlane
