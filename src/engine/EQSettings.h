// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EQPreset.h"

#include <nlohmann/json_fwd.hpp>
#include <vector>

namespace voxlane {

// One application's equaliser: the preset the gains came from (or `custom`) and the band gains
// in dB. Bands beyond the end of `gains` count as 0 dB.
struct EQSettings {
    EQPreset preset = EQPreset::off;
    std::vector<float> gains = std::vector<float>(5, 0.0f);

    static EQSettings off() { return {}; }
    static EQSettings fromPreset(EQPreset preset);

    bool operator==(const EQSettings&) const = default;
};

// Stored form {"preset": raw value, "gains": [numbers]}. Decoding throws nlohmann::json::exception
// when a key is missing, a value has the wrong type or the preset is unknown.
void to_json(nlohmann::json& json, const EQSettings& settings);
void from_json(const nlohmann::json& json, EQSettings& settings);
void to_json(nlohmann::json& json, EQPreset preset);
void from_json(const nlohmann::json& json, EQPreset& preset);

} // namespace voxlane
