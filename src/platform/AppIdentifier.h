#pragma once

#include <string_view>

namespace voxlane {

// The application's reverse-DNS identifier: the log subsystem, the prefix of our private
// aggregate devices' UIDs, and the key under which our own audio clients are recognised.
inline constexpr std::string_view AppIdentifier = "io.github.voxlane.Voxlane";

} // namespace voxlane
