// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioDevice.h"
#include "devices/DeviceRules.h"

#include <optional>
#include <span>
#include <string>

namespace voxlane {

// Which default devices the device rules call for, as a pure function of the rules, the
// connected devices and the current defaults. The engine applies the answer only in the short
// window after the set of connected devices changed, so a choice the user makes by hand stays.
namespace DevicePolicy {

// The devices to select, by UID; none leaves that default as it is.
struct Decision {
    std::optional<std::string> output;
    std::optional<std::string> input;

    bool operator==(const Decision&) const = default;
};

// Output: the top ranked connected output that is not marked never (when outputs are ranked);
// a current output marked never is otherwise replaced by the built-in or first allowed output.
// Input: the same over the input rules, except that while the resulting output is a Bluetooth
// device and `keepBluetoothHighQuality` is set, Bluetooth microphones are passed over and a
// current Bluetooth input is replaced. `alertsFollowOutput` plays no part here.
Decision decide(const DeviceRules& rules, std::span<const AudioDevice> devices,
                const std::optional<std::string>& currentOutput,
                const std::optional<std::string>& currentInput);

} // namespace DevicePolicy
} // namespace voxlane
