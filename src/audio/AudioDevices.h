// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioDevice.h"
#include "platform/hal/Hal.h"

#include <optional>
#include <string>
#include <vector>

namespace voxlane {

// Device enumeration on the Hal. Nothing is cached: every call sees the live device set.
namespace AudioDevices {

// The devices shown to the user, in the Hal's order: every device with a readable UID except
// aggregate devices and our own (UIDs starting with AppIdentifier).
std::vector<AudioDevice> all(Hal& hal);
// The record of any device object, unfiltered; absent when its UID cannot be read.
std::optional<AudioDevice> device(Hal& hal, AudioObjectID id);
// The object id of the listed device with this UID.
std::optional<AudioObjectID> id(Hal& hal, const std::string& uid);
// The device's virtual main volume (output scope), when it has one.
std::optional<float> volume(Hal& hal, AudioObjectID id);

} // namespace AudioDevices
} // namespace voxlane
