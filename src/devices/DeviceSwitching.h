// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioDevice.h"
#include "devices/DeviceRules.h"
#include "platform/server/AudioServer.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace voxlane {

class Scheduler;

// Picks the system's default devices by the user's rules when devices come and go, and keeps
// the alert sound device with the output. Main thread.
class DeviceSwitching {
public:
    // `refreshLater` runs the two late refreshes after a change, which apply the rules again
    // once the system has done its own switching.
    DeviceSwitching(AudioServer& server, Scheduler& scheduler, std::function<void()> refreshLater);

    // When the connected devices differ from the last call: opens the switching window and
    // returns the rules with the new devices learned. The first sight of the devices (at launch,
    // or after none were left) switches nothing.
    std::optional<DeviceRules> devicesChanged(const std::vector<AudioDevice>& devices,
                                              const DeviceRules& rules);
    // Within the window, makes the devices the rules call for the defaults; with
    // alertsFollowOutput, moves the alert device to the output.
    void apply(const std::vector<AudioDevice>& devices, const DeviceRules& rules);

    // Makes `device` the default output and alert output.
    void setDefaultOutput(ObjectId device);

private:
    AudioServer& server_;
    Scheduler& scheduler_;
    std::function<void()> refreshLater_;
    std::set<std::string> known_; // the devices connected at the last change
    double until_;                // end of the switching window
};

} // namespace voxlane
