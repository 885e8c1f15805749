// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AppGroup.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace voxlane {

// Which application, if any, is in a call: the first group (in the engine's display order) that
// is capturing audio and is a known calling application or web browser.
namespace CallDetector {

// Calling applications, by application id: desktop-entry ids, Flatpak ids and process names.
const std::set<std::string>& callApps();
// Web browsers (web meetings), likewise.
const std::set<std::string>& browsers();

std::optional<AppGroup> activeCall(const std::vector<AppGroup>& apps);

} // namespace CallDetector
} // namespace voxlane
