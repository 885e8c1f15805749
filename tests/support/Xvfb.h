// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/BackgroundProcess.h"
#include "support/ChildProcess.h"

#include <fcntl.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace voxlane::test {

// A private X server: Xvfb on a display number it picks itself, stopped when the object goes;
// keys are typed into it with xdotool.
class Xvfb {
public:
    // Whether Xvfb and xdotool are installed.
    static bool available() {
        return ChildProcess::available("Xvfb") && ChildProcess::available("xdotool");
    }

    // Starts the server and waits until it accepts connections, when it writes its display
    // number into the pipe.
    bool start() {
        int fds[2];
        if (::pipe(fds) != 0) return false;
        ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        server_ = std::make_unique<BackgroundProcess>(
            std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-noreset",
                                     "-nolisten", "tcp", "-screen", "0", "640x480x24"});
        ::close(fds[1]);
        std::string number;
        pollfd descriptor{fds[0], POLLIN, 0};
        for (char c; server_->started() && ::poll(&descriptor, 1, 10000) > 0;) {
            if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        ::close(fds[0]);
        if (!number.empty()) display_ = ":" + number;
        return !display_.empty();
    }
    const std::string& display() const { return display_; }

    // xdotool key on this display ("ctrl+alt+m", several keys one after the other).
    bool key(const std::vector<std::string>& keys) const {
        std::vector<std::string> arguments{"key"};
        arguments.insert(arguments.end(), keys.begin(), keys.end());
        return xdotool(arguments).has_value();
    }
    // Runs xdotool with `arguments` on this display; its output, or none when it failed.
    std::optional<std::string> xdotool(const std::vector<std::string>& arguments) const {
        std::vector<std::string> command{"DISPLAY=" + display_, "xdotool"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const ChildProcess run = ChildProcess::run("env", command);
        if (run.exitStatus != 0) return std::nullopt;
        return run.out;
    }

private:
    std::unique_ptr<BackgroundProcess> server_;
    std::string display_;
};

} // namespace voxlane::test
