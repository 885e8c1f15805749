// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace voxlane::test {

// Runs a program to completion with its output captured.
struct ChildProcess {
    int exitStatus = -1; // -1 when the child did not exit normally
    std::string out;
    std::string err;

    // `program` is searched in PATH when it has no slash. A file size limit (bytes, 0 for
    // none) is set in the child only.
    static ChildProcess run(const std::string& program, const std::vector<std::string>& args,
                            long long fileSizeLimit = 0);
    // Whether `program` is found in PATH.
    static bool available(const std::string& program);
};

} // namespace voxlane::test
