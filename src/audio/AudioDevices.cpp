// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioDevices.h"

#include "platform/AppIdentifier.h"
#include "platform/Utf8.h"

namespace voxlane::AudioDevices {

std::vector<AudioDevice> all(AudioServer& server) {
    std::vector<AudioDevice> devices;
    for (ObjectId id : server.devices()) {
        auto record = device(server, id);
        if (!record) continue;
        if (record->transport == Transport::aggregate) continue;
        if (record->uid.starts_with(AppIdentifier)) continue;
        devices.push_back(std::move(*record));
    }
    return devices;
}

std::optional<AudioDevice> device(AudioServer& server, ObjectId id) {
    auto info = server.device(id);
    if (!info || info->uid.empty()) return std::nullopt;
    AudioDevice record;
    record.id = id;
    // Names and uids reach JSON, the log and the views.
    record.uid = Utf8::valid(info->uid);
    record.name = info->name.empty() ? "Unknown device" : Utf8::valid(info->name);
    record.transport = info->transport;
    record.hasOutput = info->hasOutput();
    record.hasInput = info->hasInput();
    return record;
}

std::optional<ObjectId> id(AudioServer& server, const std::string& uid) {
    for (const auto& record : all(server))
        if (record.uid == uid) return record.id;
    return std::nullopt;
}

std::optional<float> volume(AudioServer& server, ObjectId id) {
    const auto control = server.control(id, Side::output);
    return control ? control->volume : std::nullopt;
}

} // namespace voxlane::AudioDevices
