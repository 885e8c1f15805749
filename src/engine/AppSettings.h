// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EQSettings.h"

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

namespace voxlane {

// One application's adjustments. Records back at their defaults are not kept anywhere: the
// absence of a record is what leaves an app untapped.
struct AppSettings {
    float volume = 1.0f; // 0…2; above 1 is boost
    bool muted = false;
    std::optional<std::string> outputUID; // none: follow the system's default output
    EQSettings eq = EQSettings::off();

    // Volume within 0.001 of 1, not muted, no output of its own, every EQ gain within ±0.05 dB.
    // The EQ preset does not count.
    bool isDefault() const;

    bool operator==(const AppSettings&) const = default;
};

// Stored form {"volume", "muted", "outputUID" (only when set), "eq"}. Decoding: each member is
// optional; a wrong type in "volume", "muted" or "outputUID" throws, an "eq" that does not decode
// gives EQSettings::off(), unknown members are ignored.
void to_json(nlohmann::json& json, const AppSettings& settings);
void from_json(const nlohmann::json& json, AppSettings& settings);

} // namespace voxlane
