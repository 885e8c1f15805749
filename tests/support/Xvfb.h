// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace voxlane::test {

// A private X server: Xvfb on a display number it picks itself, stopped when the object goes;
// keys are typed into it with xdotool.
class Xvfb {
public:
    // Whether Xvfb and xdotool are installed.
    static bool available();

    Xvfb() = default;
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    // Starts the server and waits until it accepts connections.
    bool start();
    const std::string& display() const { return display_; }

    // xdotool key on this display ("ctrl+alt+m", several keys one after the other).
    bool key(const std::vector<std::string>& keys) const;
    // Runs xdotool with `arguments` on this display; its output, or none when it failed.
    std::optional<std::string> xdotool(const std::vector<std::string>& arguments) const;

private:
    pid_t pid_ = -1;
    std::string display_;
};

} // namespace voxlane::test
