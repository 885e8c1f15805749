// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AppGroup.h"
#include "audio/AudioProcess.h"
#include "platform/Workspace.h"
#include "platform/server/AudioServer.h"

#include <set>
#include <string>
#include <vector>

namespace voxlane {

// Audio processes and their grouping into applications. Main thread; nothing is cached.
namespace AudioProcesses {

// Owner keys that never form a group: the audio server's, its compatibility layers' and the
// session manager's own clients, and this program.
extern const std::set<std::string> hidden;

// The audio clients of other programs, in the server's order.
std::vector<AudioProcess> all(AudioServer& server, const Workspace& workspace);
// The processes grouped by owning application, in first-seen order; processes without a
// nameable owner, hidden owners and this program are left out.
std::vector<AppGroup> grouped(const std::vector<AudioProcess>& processes,
                              const Workspace& workspace);

} // namespace AudioProcesses
} // namespace voxlane
