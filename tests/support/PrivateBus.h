// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <sys/types.h>

namespace voxlane::test {

// A session bus of the test's own (`dbus-daemon --session`), ended when the object goes.
class PrivateBus {
public:
    PrivateBus() = default;
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Whether dbus-daemon is installed (scripts/deps.sh installs it).
    static bool available();
    // Starts the daemon; false (and *error) when it does not come up.
    bool start(std::string* error = nullptr);
    // Ends the daemon now; connections to it see the bus go.
    void stop();
    // What DBUS_SESSION_BUS_ADDRESS names it by.
    const std::string& address() const { return address_; }

private:
    std::string address_;
    pid_t pid_ = -1;
};

} // namespace voxlane::test
