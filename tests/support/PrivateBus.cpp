// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/PrivateBus.h"

#include "support/ChildProcess.h"

#include <csignal>
#include <sstream>

namespace voxlane::test {

PrivateBus::~PrivateBus() {
    stop();
}

bool PrivateBus::available() {
    return ChildProcess::available("dbus-daemon");
}

bool PrivateBus::start(std::string* error) {
    // With --fork the daemon prints its address and pid and the command returns.
    const ChildProcess daemon = ChildProcess::run(
        "dbus-daemon", {"--session", "--fork", "--print-address=1", "--print-pid=1"});
    std::istringstream lines(daemon.out);
    std::string pid;
    std::getline(lines, address_);
    std::getline(lines, pid);
    if (daemon.exitStatus != 0 || address_.empty() || pid.empty()) {
        if (error) *error = "dbus-daemon did not start: " + daemon.err;
        address_.clear();
        return false;
    }
    pid_ = static_cast<pid_t>(std::stol(pid));
    return true;
}

void PrivateBus::stop() {
    // The daemon is not our child (it forked away), so it is only signalled, not waited for.
    if (pid_ > 0) ::kill(pid_, SIGTERM);
    pid_ = -1;
}

} // namespace voxlane::test
