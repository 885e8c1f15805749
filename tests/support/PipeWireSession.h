// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace voxlane::test {

// The private PipeWire that scripts/pipewire-session.sh started for the integration tests.
namespace PipeWireSession {

// Takes over the session's environment (XDG_RUNTIME_DIR and friends, no PIPEWIRE_REMOTE or
// PULSE_SERVER), so that this process and the programs it starts talk to that server only.
// The session is named by $VOXLANE_PW_SESSION_STATE (a file holding its directory) or
// $VOXLANE_PW_SESSION_DIR. Returns the session directory, or an empty string and *error.
std::string enter(std::string* error);

} // namespace PipeWireSession

} // namespace voxlane::test
