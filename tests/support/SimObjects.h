// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/hal/SimHal.h"

#include <optional>
#include <string>
#include <vector>

namespace voxlane::test {

// Short ways to describe simulated devices and processes.
inline SimHal::DeviceSetup deviceSetup(std::string uid, std::string name,
                                       Transport transport = Transport::builtIn,
                                       std::vector<std::uint32_t> outputs = {2},
                                       std::vector<std::uint32_t> inputs = {}) {
    SimHal::DeviceSetup setup;
    setup.uid = std::move(uid);
    setup.name = std::move(name);
    setup.transport = transport;
    setup.outputStreams = std::move(outputs);
    setup.inputStreams = std::move(inputs);
    return setup;
}

inline SimHal::ProcessSetup processSetup(std::int32_t pid, SimHal::Signal signal,
                                         std::optional<std::string> bundleID = std::nullopt,
                                         AudioObjectID device = kAudioObjectUnknown) {
    SimHal::ProcessSetup setup;
    setup.pid = pid;
    setup.signal = signal;
    setup.bundleID = std::move(bundleID);
    setup.device = device;
    return setup;
}

// A fault for SimHal::injectFault.
inline SimHal::Fault fault(SimHal::Operation operation, OSStatus status,
                           std::optional<AudioObjectID> object = std::nullopt,
                           std::optional<AudioObjectPropertySelector> selector = std::nullopt,
                           int times = -1) {
    SimHal::Fault f;
    f.operation = operation;
    f.status = status;
    f.object = object;
    f.selector = selector;
    f.times = times;
    return f;
}

} // namespace voxlane::test
