// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace voxlane {

// `voxlane ctl COMMAND …`: one call of the running Voxlane's control interface on the session
// bus (see DBusService), its answer printed as text or JSON. `arguments` are those after "ctl".
//
// Exit status: 0 done; 1 no Voxlane answers on the session bus (or it could not do it, such as
// a master volume without an output device); 2 a usage error, or an application, device or
// preset that does not exist or is ambiguous, or a value out of range. Errors are one line on
// standard error.
int runCtlCommand(const std::vector<std::string>& arguments);

// The help text of `voxlane ctl --help`.
extern const char* const ctlUsage;

} // namespace voxlane
