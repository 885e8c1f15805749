// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioDevice.h"
#include "platform/server/AudioServer.h"

#include <optional>
#include <string>
#include <vector>

namespace voxlane {

// Device enumeration on the audio server. Nothing is cached: every call sees the live device set.
namespace AudioDevices {

// The devices shown to the user, in the server's order: every device except aggregate devices
// and our own (UIDs starting with AppIdentifier).
std::vector<AudioDevice> all(AudioServer& server);
// The record of any device object, unfiltered; absent when it cannot be read.
std::optional<AudioDevice> device(AudioServer& server, ObjectId id);
// The object id of the listed device with this UID.
std::optional<ObjectId> id(AudioServer& server, const std::string& uid);
// The device's output volume, when it has one.
std::optional<float> volume(AudioServer& server, ObjectId id);

} // namespace AudioDevices
} // namespace voxlane
