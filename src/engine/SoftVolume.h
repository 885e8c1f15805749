// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/AudioServer.h"

#include <cstdint>
#include <optional>
#include <string>

namespace voxlane {

class Defaults;

// Software master volume for output devices without a settable hardware volume: one level per
// device uid, kept under "softVolumeLevels" (a device without an entry is at 1.0).
namespace SoftVolume {

inline constexpr const char* levelsKey = "softVolumeLevels";

// This program's own process object, through the pid translation of the audio server.
std::optional<ObjectId> ownProcessObject(AudioServer& server, std::int32_t ownPid);
// True as soon as the virtual main volume, or the volume scalar of element 0, 1 or 2, exists in
// the output scope and is settable.
bool hasHardwareVolume(AudioServer& server, ObjectId device);

float level(const Defaults& defaults, const std::string& uid);
void setLevel(Defaults& defaults, float level, const std::string& uid);

} // namespace SoftVolume
} // namespace voxlane
