// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ChildProcess.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace voxlane::test {
namespace {

std::string temporaryFile() {
    char path[] = "/tmp/voxlane-child-XXXXXX";
    ::close(mkstemp(path));
    return path;
}

// The contents of a file, which is removed.
std::string take(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    ::unlink(path.c_str());
    return text.str();
}

} // namespace

ChildProcess ChildProcess::run(const std::string& program, const std::vector<std::string>& args,
                               long long fileSizeLimit) {
    std::vector<std::string> argv{program};
    if (fileSizeLimit > 0) argv = {"prlimit", "--fsize=" + std::to_string(fileSizeLimit), program};
    argv.insert(argv.end(), args.begin(), args.end());
    return capture(argv, 600);
}

ChildProcess ChildProcess::capture(const std::vector<std::string>& argv, double seconds) {
    const std::string outPath = temporaryFile(), errPath = temporaryFile();
    const pid_t pid = start(argv, outPath, errPath);
    const int status = pid > 0 ? reap(pid, seconds, true) : -1;
    ChildProcess result;
    result.exitStatus = status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = take(outPath);
    result.err = take(errPath);
    return result;
}

bool ChildProcess::available(const std::string& program) {
    return capture({"sh", "-c", "command -v '" + program + "'"}, 10).exitStatus == 0;
}

pid_t ChildProcess::start(const std::vector<std::string>& argv, const std::string& out,
                          const std::string& err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err == out)
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int ChildProcess::reap(pid_t pid, double seconds, bool kill) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(seconds));
    for (int status = 0;; std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return status;
        if (done < 0) return -1;
        if (Clock::now() >= deadline) break;
    }
    if (!kill) return -1;
    ::kill(pid, SIGKILL);
    return reap(pid, 5);
}

} // namespace voxlane::test
