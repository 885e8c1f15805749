// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace voxlane {

// `voxlane --status [--json] [--demo]`: starts the engine on the audio server without touching
// anything, lets it refresh once, prints what it sees and returns the exit status.
int runStatusCommand(const std::vector<std::string>& arguments);

} // namespace voxlane
