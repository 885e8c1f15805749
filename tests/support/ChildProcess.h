// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace voxlane::test {

// Runs a program to completion with its output captured; starts and ends BackgroundProcess's.
struct ChildProcess {
    int exitStatus = -1; // -1 when the child did not exit normally
    std::string out;
    std::string err;

    // `program` is searched in PATH when it has no slash. A file size limit (bytes, 0 for
    // none) is set in the child only.
    static ChildProcess run(const std::string& program, const std::vector<std::string>& args,
                            long long fileSizeLimit = 0);
    // The same for `argv`, killed after `seconds`.
    static ChildProcess capture(const std::vector<std::string>& argv, double seconds);
    static bool available(const std::string& program);

    // Starts `argv` (from PATH) reading nothing, its output into the file `out`, its errors
    // appended to `err` (may be `out`); -1 if it fails.
    static pid_t start(const std::vector<std::string>& argv, const std::string& out,
                       const std::string& err);
    // Waits at most `seconds` for `pid`, then (with `kill`) sends SIGKILL and waits for that; its
    // wait status, or -1 while it runs.
    static int reap(pid_t pid, double seconds, bool kill = false);
};

} // namespace voxlane::test
