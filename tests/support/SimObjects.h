#pragma once

#include "platform/hal/SimHal.h"

#include <optional>
#include <string>
#include <vector>

namespace voxlane::test {

// Short ways to describe simulated devices and processes.
inline SimHal::DeviceSpec deviceSpec(std::string uid, std::string name,
                                     std::uint32_t transport = kAudioDeviceTransportTypeBuiltIn,
                                     std::vector<std::uint32_t> outputs = {2},
                                     std::vector<std::uint32_t> inputs = {}) {
    SimHal::DeviceSpec spec;
    spec.uid = std::move(uid);
    spec.name = std::move(name);
    spec.transport = transport;
    spec.outputStreams = std::move(outputs);
    spec.inputStreams = std::move(inputs);
    return spec;
}

inline SimHal::ProcessSpec processSpec(std::int32_t pid, SimHal::Signal signal,
                                       std::optional<std::string> bundleID = std::nullopt,
                                       AudioObjectID device = kAudioObjectUnknown) {
    SimHal::ProcessSpec spec;
    spec.pid = pid;
    spec.signal = signal;
    spec.bundleID = std::move(bundleID);
    spec.device = device;
    return spec;
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
