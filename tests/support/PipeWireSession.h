// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

// The private PipeWire that scripts/pipewire-session.sh started for the integration tests.
namespace voxlane::test::PipeWireSession {

// Takes over the session's environment (XDG_RUNTIME_DIR and friends, no PIPEWIRE_REMOTE or
// PULSE_SERVER), so that this process and the programs it starts talk to that server only.
// The session is named by $VOXLANE_PW_SESSION_STATE (a file holding its directory) or
// $VOXLANE_PW_SESSION_DIR. Returns the session directory, or an empty string and *error.
inline std::string enter(std::string* error) {
    std::string dir;
    if (const char* state = std::getenv("VOXLANE_PW_SESSION_STATE"))
        std::getline(std::ifstream(state), dir);
    if (const char* d = std::getenv("VOXLANE_PW_SESSION_DIR"); dir.empty() && d) dir = d;
    if (dir.empty()) {
        *error = "no PipeWire test session (start one with scripts/pipewire-session.sh start and "
                 "set VOXLANE_PW_SESSION_DIR, or run the tests through ctest)";
        return {};
    }
    std::ifstream env(dir + "/env");
    if (!env) {
        *error = "the PipeWire test session in " + dir + " is gone";
        return {};
    }
    for (std::string line; std::getline(env, line);) {
        if (const auto eq = line.find('='); eq != std::string::npos)
            setenv(line.substr(0, eq).c_str(), line.substr(eq + 1).c_str(), 1);
    }
    unsetenv("PIPEWIRE_REMOTE");
    unsetenv("PULSE_SERVER");
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    return dir;
}

} // namespace voxlane::test::PipeWireSession
