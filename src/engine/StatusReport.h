// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/AudioPermission.h"

#include <nlohmann/json_fwd.hpp>
#include <string>

namespace voxlane {

class MixerEngine;

// What the engine sees, for `voxlane --status`: devices, defaults, apps and their settings.
namespace StatusReport {

// `access` is shown as the audio permission (the engine may run without it).
nlohmann::json json(const MixerEngine& engine, const std::string& serverDescription,
                    AudioPermission::Status access);
// The same as readable text, one line per device and app.
std::string text(const MixerEngine& engine, const std::string& serverDescription,
                 AudioPermission::Status access);

} // namespace StatusReport
} // namespace voxlane
