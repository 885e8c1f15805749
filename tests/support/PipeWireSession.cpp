// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/PipeWireSession.h"

#include <cstdlib>
#include <fstream>

namespace voxlane::test::PipeWireSession {

std::string enter(std::string* error) {
    std::string dir;
    if (const char* state = std::getenv("VOXLANE_PW_SESSION_STATE")) {
        std::ifstream in(state);
        std::getline(in, dir);
    }
    if (dir.empty()) {
        if (const char* d = std::getenv("VOXLANE_PW_SESSION_DIR")) dir = d;
    }
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
    std::string line;
    while (std::getline(env, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        setenv(line.substr(0, eq).c_str(), line.substr(eq + 1).c_str(), 1);
    }
    unsetenv("PIPEWIRE_REMOTE");
    unsetenv("PULSE_SERVER");
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    return dir;
}

} // namespace voxlane::test::PipeWireSession
