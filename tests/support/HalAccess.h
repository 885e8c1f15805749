// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/CA.h"
#include "platform/hal/Hal.h"

#include <memory>
#include <optional>
#include <string>

namespace voxlane::test {

// Short ways to address and touch Hal properties in tests; reads go through the typed access
// the program itself uses (CA::value, CA::array, CA::string).
constexpr AudioObjectPropertyAddress global(AudioObjectPropertySelector selector) {
    return {selector, kAudioObjectPropertyScopeGlobal, kAudioObjectPropertyElementMain};
}
constexpr AudioObjectPropertyAddress output(AudioObjectPropertySelector selector,
                                            AudioObjectPropertyElement element = 0) {
    return {selector, kAudioObjectPropertyScopeOutput, element};
}
constexpr AudioObjectPropertyAddress input(AudioObjectPropertySelector selector,
                                           AudioObjectPropertyElement element = 0) {
    return {selector, kAudioObjectPropertyScopeInput, element};
}

template <typename T>
OSStatus write(Hal& hal, AudioObjectID object, const AudioObjectPropertyAddress& address, T value) {
    return hal.setPropertyData(object, address, 0, nullptr, sizeof value, &value);
}

inline bool settable(Hal& hal, AudioObjectID object, const AudioObjectPropertyAddress& address) {
    bool result = false;
    return hal.isPropertySettable(object, address, &result) == 0 && result;
}

// A listener block that counts its calls.
inline AudioObjectPropertyListenerBlockRef counter(int& count) {
    return std::make_shared<AudioObjectPropertyListenerBlock>(
        [&count](std::uint32_t, const AudioObjectPropertyAddress*) { ++count; });
}

// The device with this UID, or kAudioObjectUnknown.
inline AudioObjectID deviceWithUid(Hal& hal, const std::string& uid) {
    for (auto id : CA::array(hal, kAudioObjectSystemObject, global(kAudioHardwarePropertyDevices)))
        if (CA::string(hal, id, global(kAudioDevicePropertyDeviceUID)) == uid) return id;
    return kAudioObjectUnknown;
}

// The process object of a pid as the Hal translates it, or kAudioObjectUnknown.
inline AudioObjectID processWithPid(Hal& hal, std::int32_t pid) {
    return CA::value<AudioObjectID>(hal, kAudioObjectSystemObject,
                                    global(kAudioHardwarePropertyTranslatePIDToProcessObject),
                                    sizeof pid, &pid)
        .value_or(kAudioObjectUnknown);
}

} // namespace voxlane::test
