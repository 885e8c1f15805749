// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioDevices.h"

#include "audio/CA.h"
#include "platform/AppIdentifier.h"

namespace voxlane::AudioDevices {

std::vector<AudioDevice> all(Hal& hal) {
    std::vector<AudioDevice> devices;
    for (AudioObjectID id :
         CA::array(hal, kAudioObjectSystemObject, CA::address(kAudioHardwarePropertyDevices))) {
        auto record = device(hal, id);
        if (!record) continue;
        if (record->transport == Transport::aggregate) continue;
        if (record->uid.starts_with(AppIdentifier)) continue;
        devices.push_back(std::move(*record));
    }
    return devices;
}

std::optional<AudioDevice> device(Hal& hal, AudioObjectID id) {
    auto uid = CA::string(hal, id, CA::address(kAudioDevicePropertyDeviceUID));
    if (!uid) return std::nullopt;
    AudioDevice record;
    record.id = id;
    record.uid = std::move(*uid);
    record.name =
        CA::string(hal, id, CA::address(kAudioObjectPropertyName)).value_or("Unknown device");
    record.transport = CA::value<Transport>(hal, id, CA::address(kAudioDevicePropertyTransportType))
                           .value_or(Transport::unknown);
    record.hasOutput =
        !CA::array(hal, id,
                   CA::address(kAudioDevicePropertyStreams, kAudioObjectPropertyScopeOutput))
             .empty();
    record.hasInput =
        !CA::array(hal, id,
                   CA::address(kAudioDevicePropertyStreams, kAudioObjectPropertyScopeInput))
             .empty();
    return record;
}

std::optional<AudioObjectID> id(Hal& hal, const std::string& uid) {
    for (const auto& record : all(hal))
        if (record.uid == uid) return record.id;
    return std::nullopt;
}

std::optional<float> volume(Hal& hal, AudioObjectID id) {
    const auto address = CA::address(kAudioHardwareServiceDeviceProperty_VirtualMainVolume,
                                     kAudioObjectPropertyScopeOutput);
    if (!hal.hasProperty(id, address)) return std::nullopt;
    return CA::value<float>(hal, id, address);
}

} // namespace voxlane::AudioDevices
