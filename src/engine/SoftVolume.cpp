#include "engine/SoftVolume.h"

#include "coreaudio/CA.h"
#include "platform/Defaults.h"
#include "platform/hal/Hal.h"

#include <nlohmann/json.hpp>

namespace voxlane::SoftVolume {
namespace {

// The stored levels, or nothing when the value is missing or not a dictionary of numbers.
std::optional<nlohmann::json> storedLevels(const Defaults& defaults) {
    auto levels = defaults.dictionary(levelsKey);
    if (!levels || !levels->is_object()) return std::nullopt;
    for (const auto& [uid, value] : levels->items()) {
        if (!value.is_number()) return std::nullopt;
    }
    return levels;
}

} // namespace

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
    const auto levels = storedLevels(defaults);
    if (!levels) return 1.0f;
    const auto it = levels->find(uid);
    return it == levels->end() ? 1.0f : it->get<float>();
}

void setLevel(Defaults& defaults, float level, const std::string& uid) {
    auto levels = storedLevels(defaults).value_or(nlohmann::json::object());
    levels[uid] = level;
    defaults.setDictionary(levelsKey, std::move(levels));
}

} // namespace voxlane::SoftVolume
