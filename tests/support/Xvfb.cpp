// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/Xvfb.h"

#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace voxlane::test {

bool Xvfb::available() {
    return ChildProcess::available("Xvfb") && ChildProcess::available("xdotool");
}

bool Xvfb::start() {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args{"Xvfb",     "-displayfd", std::to_string(fds[1]),
                                  "-noreset", "-nolisten",  "tcp",
                                  "-screen",  "0",          "640x480x24"};
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);

    // Xvfb writes its display number once it accepts connections.
    std::string number;
    pollfd descriptor{fds[0], POLLIN, 0};
    while (pid_ > 0 && ::poll(&descriptor, 1, 10000) > 0) {
        char c;
        if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    ::close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
    return !display_.empty();
}

Xvfb::~Xvfb() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
}

bool Xvfb::key(const std::vector<std::string>& keys) const {
    std::vector<std::string> arguments{"key"};
    arguments.insert(arguments.end(), keys.begin(), keys.end());
    return xdotool(arguments).has_value();
}

std::optional<std::string> Xvfb::xdotool(const std::vector<std::string>& arguments) const {
    std::vector<std::string> command{"DISPLAY=" + display_, "xdotool"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const ChildProcess run = ChildProcess::run("env", command);
    if (run.exitStatus != 0) return std::nullopt;
    return run.out;
}

} // namespace voxlane::test
