// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/BackgroundProcess.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace voxlane::test {

namespace {

using Clock = std::chrono::steady_clock;

pid_t spawn(const std::vector<std::string>& argv, int stdoutFd, const std::string& logFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (stdoutFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
        posix_spawn_file_actions_addclose(&actions, stdoutFd);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    }
    posix_spawn_file_actions_addopen(&actions, 2, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
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

// Waits for `pid` until the deadline; its exit status, or -1 while it still runs.
int reap(pid_t pid, Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0) return -1;
        if (Clock::now() >= deadline) return -2;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

BackgroundProcess::BackgroundProcess(std::vector<std::string> argv, const std::string& logFile)
    : pid_(spawn(argv, -1, logFile)) {}

BackgroundProcess::~BackgroundProcess() {
    stop();
}

int BackgroundProcess::stop(double seconds) {
    if (pid_ <= 0) return status_;
    kill(pid_, SIGTERM);
    int status = reap(pid_, Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                               std::chrono::duration<double>(seconds)));
    if (status == -2) {
        kill(pid_, SIGKILL);
        status = reap(pid_, Clock::now() + std::chrono::seconds(5));
    }
    pid_ = -1;
    status_ = status;
    return status;
}

int BackgroundProcess::wait(double seconds) {
    if (pid_ <= 0) return status_;
    int status = reap(pid_, Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                               std::chrono::duration<double>(seconds)));
    if (status == -2) return -1;
    pid_ = -1;
    status_ = status;
    return status;
}

std::string runAndRead(const std::vector<std::string>& argv, double seconds, int* exitStatus) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return {};
    const pid_t pid = spawn(argv, fds[1], "/dev/null");
    close(fds[1]);
    std::string out;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(seconds));
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            out.append(buffer, std::size_t(n));
            continue;
        }
        if (n == 0 || Clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    close(fds[0]);
    int status = -1;
    if (pid > 0) {
        status = reap(pid, deadline);
        if (status == -2) {
            kill(pid, SIGKILL);
            status = reap(pid, Clock::now() + std::chrono::seconds(5));
        }
    }
    if (exitStatus) *exitStatus = status;
    return out;
}

std::string linksInto(const std::string& port) {
    const std::string all = runAndRead({"pw-link", "-l"});
    std::string result;
    bool inside = false;
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        const std::string line = all.substr(start, end - start);
        if (!line.empty() && line[0] != ' ')
            inside = line == port;
        else if (inside)
            result += line + "\n";
        start = end + 1;
    }
    return result;
}

int destroyNodes(const std::set<std::string>& names) {
    const auto dump = nlohmann::json::parse(runAndRead({"pw-dump"}), nullptr, false);
    if (!dump.is_array()) return 0;
    int destroyed = 0;
    for (const auto& object : dump) {
        const auto props =
            object.value("info", nlohmann::json::object()).value("props", nlohmann::json::object());
        if (!names.count(props.value("node.name", ""))) continue;
        int status = -1;
        runAndRead({"pw-cli", "destroy", std::to_string(object.value("id", 0u))}, 10, &status);
        destroyed += status == 0;
    }
    return destroyed;
}

} // namespace voxlane::test
