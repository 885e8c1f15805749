// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/ChildProcess.h"

#include <csignal>
#include <sstream>
#include <string>
#include <sys/types.h>

namespace voxlane::test {

// A session bus of the test's own (`dbus-daemon --session`), ended when the object goes.
class PrivateBus {
public:
    PrivateBus() = default;
    // The daemon is not our child (it forked away), so it is only signalled, not waited for.
    ~PrivateBus() {
        if (pid_ > 0) ::kill(pid_, SIGTERM);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Whether dbus-daemon is installed (scripts/deps.sh installs it).
    static bool available() { return ChildProcess::available("dbus-daemon"); }
    // Starts the daemon; false (and *error) when it does not come up.
    bool start(std::string* error = nullptr) {
        // With --fork the daemon prints its address and pid and the command returns.
        const ChildProcess daemon = ChildProcess::run(
            "dbus-daemon", {"--session", "--fork", "--print-address=1", "--print-pid=1"});
        std::istringstream lines(daemon.out);
        std::string pid;
        std::getline(std::getline(lines, address_), pid);
        if (daemon.exitStatus == 0 && !address_.empty() && !pid.empty()) {
            pid_ = static_cast<pid_t>(std::stol(pid));
            return true;
        }
        if (error) *error = "dbus-daemon did not start: " + daemon.err;
        address_.clear();
        return false;
    }
    // What DBUS_SESSION_BUS_ADDRESS names it by.
    const std::string& address() const { return address_; }

private:
    std::string address_;
    pid_t pid_ = -1;
};

} // namespace voxlane::test
