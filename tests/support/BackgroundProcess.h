// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/ChildProcess.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace voxlane::test {

// A program the test starts (found on PATH), with its output sent to a log file. Ended with
// SIGTERM and waited for when the object goes, so a failing test leaves nothing running.
class BackgroundProcess {
public:
    BackgroundProcess(std::vector<std::string> argv, const std::string& logFile = "/dev/null")
        : pid_(ChildProcess::start(argv, logFile, logFile)) {}
    ~BackgroundProcess() { stop(); }
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool started() const { return pid_ > 0; }
    // Sends SIGTERM and waits (at most `seconds`, then SIGKILL); returns the exit status, or -1.
    int stop(double seconds = 5.0);
    // Waits for the program to end by itself (at most `seconds`); its exit status, or -1.
    int wait(double seconds);

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

// Runs a program to its end (at most `seconds`) and returns what it wrote to standard output.
inline std::string runAndRead(const std::vector<std::string>& argv, double seconds = 10.0,
                              int* exitStatus = nullptr) {
    ChildProcess run = ChildProcess::capture(argv, seconds);
    if (exitStatus) *exitStatus = run.exitStatus;
    return run.out;
}

// The links into a port ("speakers:playback_FL") as pw-link lists them.
std::string linksInto(const std::string& port);

// The node.name of every node on the server by its id (pw-dump); none when pw-dump fails.
std::optional<std::map<std::uint32_t, std::string>> nodeNames();
// Destroys the nodes with these node.names (pw-cli destroy); how many went.
int destroyNodes(const std::set<std::string>& names);

} // namespace voxlane::test
