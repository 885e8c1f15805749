// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SoftVolume.h"

#include "platform/Defaults.h"
#include "platform/server/AudioServer.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

namespace voxlane::SoftVolume {

std::optional<ObjectId> ownProcessObject(AudioServer& server, std::int32_t ownPid) {
    const ObjectId object = server.processOf(ownPid);
    if (object == noObject) return std::nullopt;
    return object;
}

bool hasHardwareVolume(AudioServer& server, ObjectId device) {
    const auto control = server.control(device, Side::output);
    return control && control->volume && control->volumeSettable;
}

float level(const Defaults& defaults, const std::string& uid) {
    const auto* levels = defaults.value(levelsKey);
    if (!levels || !levels->is_object()) return 1.0f;
    const auto it = levels->find(uid);
    if (it == levels->end() || !it->is_number()) return 1.0f;
    // A hand-edited level is held to what the volume slider could have set.
    const double value = it->get<double>();
    return std::isfinite(value) ? static_cast<float>(std::clamp(value, 0.0, 1.0)) : 1.0f;
}

void setLevel(Defaults& defaults, float level, const std::string& uid) {
    // The other devices' entries stay as they are, whatever they hold.
    auto levels = defaults.dictionary(levelsKey).value_or(nlohmann::json::object());
    levels[uid] = std::isfinite(level) ? std::clamp(level, 0.0f, 1.0f) : 1.0f;
    defaults.setDictionary(levelsKey, std::move(levels));
}

} // namespace voxlane::SoftVolume
