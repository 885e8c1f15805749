// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AppGroup.h"
#include "audio/AudioProcess.h"
#include "platform/Workspace.h"
#include "platform/hal/Hal.h"

#include <set>
#include <string>
#include <vector>

namespace voxlane {

// Audio processes and their grouping into applications. Main thread; nothing is cached.
namespace AudioProcesses {

// Owner keys that never form a group: system audio plumbing (of the other platform, kept for
// sessions carried over from it) and the Linux audio server's and session manager's own clients.
extern const std::set<std::string> hidden;

// The audio clients of other programs, in the Hal's order.
std::vector<AudioProcess> all(Hal& hal, const Workspace& workspace);
// The processes grouped by owning application, in first-seen order; processes without a
// nameable owner, hidden owners and this program are left out.
std::vector<AppGroup> grouped(const std::vector<AudioProcess>& processes,
                              const Workspace& workspace);

} // namespace AudioProcesses
} // namespace voxlane
