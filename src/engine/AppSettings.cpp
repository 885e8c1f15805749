// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/AppSettings.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

namespace voxlane {

bool AppSettings::isDefault() const {
    return std::fabs(volume - 1.0f) < 0.001f && !muted && !outputUID &&
           std::all_of(eq.gains.begin(), eq.gains.end(),
                       [](float g) { return std::fabs(g) < 0.05f; });
}

void to_json(nlohmann::json& json, const AppSettings& settings) {
    json =
        nlohmann::json{{"volume", settings.volume}, {"muted", settings.muted}, {"eq", settings.eq}};
    if (settings.outputUID) json["outputUID"] = *settings.outputUID;
}

void from_json(const nlohmann::json& json, AppSettings& settings) {
    if (!json.is_object()) {
        throw nlohmann::json::type_error::create(302, "app settings must be an object", &json);
    }
    // A member that is absent or null takes its default.
    auto member = [&](const char* key) -> const nlohmann::json* {
        auto it = json.find(key);
        return it == json.end() || it->is_null() ? nullptr : &*it;
    };
    AppSettings decoded;
    if (const auto* volume = member("volume")) {
        const double v = volume->is_number() ? volume->get<double>() : NAN;
        if (!std::isfinite(static_cast<float>(v))) {
            throw nlohmann::json::type_error::create(302, "volume must be a number", volume);
        }
        // A hand-edited file must not reach the mixer with a gain it could never set itself.
        decoded.volume = std::clamp(static_cast<float>(v), 0.0f, 2.0f);
    }
    if (const auto* muted = member("muted")) decoded.muted = muted->get<bool>();
    if (const auto* output = member("outputUID")) decoded.outputUID = output->get<std::string>();
    if (const auto* eq = member("eq")) {
        try {
            decoded.eq = eq->get<EQSettings>();
        } catch (const nlohmann::json::exception&) {
            decoded.eq = EQSettings::off();
        }
    }
    settings = std::move(decoded);
}

} // namespace voxlane
