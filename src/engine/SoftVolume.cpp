// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SoftVolume.h"

#include "audio/CA.h"
#include "platform/Defaults.h"
#include "platform/hal/Hal.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

namespace voxlane::SoftVolume {
namespace {} // namespace

std::optional<AudioObjectID> ownProcessObject(Hal& hal, std::int32_t ownPid) {
    const auto object = CA::value<AudioObjectID>(
        hal, kAudioObjectSystemObject,
        CA::address(kAudioHardwarePropertyTranslatePIDToProcessObject), sizeof(ownPid), &ownPid);
    if (!object || *object == 0) return std::nullopt;
    return object;
}

bool hasHardwareVolume(Hal& hal, AudioObjectID device) {
    const AudioObjectPropertyAddress candidates[] = {
        CA::address(kAudioHardwareServiceDeviceProperty_VirtualMainVolume,
                    kAudioObjectPropertyScopeOutput),
        CA::address(kAudioDevicePropertyVolumeScalar, kAudioObjectPropertyScopeOutput, 0),
        CA::address(kAudioDevicePropertyVolumeScalar, kAudioObjectPropertyScopeOutput, 1),
        CA::address(kAudioDevicePropertyVolumeScalar, kAudioObjectPropertyScopeOutput, 2),
    };
    for (const auto& address : candidates) {
        bool settable = false;
        if (hal.isPropertySettable(device, address, &settable) == 0 && settable) return true;
    }
    return false;
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
