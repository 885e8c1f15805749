// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/EQSettings.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>

namespace voxlane {

EQSettings EQSettings::fromPreset(EQPreset preset) {
    const auto& g = EQPresets::gains(preset);
    return {preset, std::vector<float>(g.begin(), g.end())};
}

void to_json(nlohmann::json& json, EQPreset preset) {
    json = std::string(EQPresets::rawValue(preset));
}

void from_json(const nlohmann::json& json, EQPreset& preset) {
    const auto parsed = EQPresets::fromRawValue(json.get_ref<const std::string&>());
    if (!parsed) {
        throw nlohmann::json::other_error::create(
            501, "unknown EQ preset \"" + json.get<std::string>() + "\"", &json);
    }
    preset = *parsed;
}

void to_json(nlohmann::json& json, const EQSettings& settings) {
    json = nlohmann::json{{"preset", settings.preset}, {"gains", settings.gains}};
}

void from_json(const nlohmann::json& json, EQSettings& settings) {
    EQSettings decoded;
    json.at("preset").get_to(decoded.preset);
    const auto& gains = json.at("gains");
    if (!gains.is_array()) {
        throw nlohmann::json::type_error::create(302, "EQ gains must be an array", &gains);
    }
    decoded.gains.clear();
    for (const auto& gain : gains) {
        // Booleans would otherwise convert silently to 0 or 1.
        if (!gain.is_number()) {
            throw nlohmann::json::type_error::create(302, "EQ gains must be numbers", &gain);
        }
        const float value = gain.get<float>();
        if (!std::isfinite(value)) { // beyond what a float holds
            throw nlohmann::json::type_error::create(302, "EQ gain out of range", &gain);
        }
        decoded.gains.push_back(value);
    }
    settings = std::move(decoded);
}

} // namespace voxlane
