// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace voxlane {

// The application's reverse-DNS identifier: the log subsystem (journal SYSLOG_IDENTIFIER), the
// prefix of the audio server objects Voxlane creates, and the key under which Voxlane's own audio
// clients are left out of the app list. Defined here and nowhere else.
inline constexpr std::string_view AppIdentifier = "io.github.voxlane.Voxlane";

} // namespace voxlane
