// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/SimServer.h"

#include <optional>
#include <string>
#include <vector>

namespace voxlane::test {

// Short ways to describe simulated devices and processes.
inline SimServer::DeviceSetup deviceSetup(std::string uid, std::string name,
                                          Transport transport = Transport::builtIn,
                                          std::vector<std::uint32_t> outputs = {2},
                                          std::vector<std::uint32_t> inputs = {}) {
    return SimServer::DeviceSetup::of(std::move(uid), std::move(name), transport,
                                      std::move(outputs), std::move(inputs));
}

// A USB microphone "<uid> name" with an input volume and, unless `hasMute` is false, a mute.
inline SimServer::DeviceSetup microphone(const std::string& uid, float volume = 1.0f,
                                         bool hasMute = true) {
    auto setup = deviceSetup(uid, uid + " name", Transport::usb, {}, {1});
    setup.input.volume = volume;
    setup.input.hasMute = hasMute;
    return setup;
}

inline SimServer::ProcessSetup processSetup(std::int32_t pid, SimServer::Signal signal,
                                            std::optional<std::string> appId = std::nullopt,
                                            ObjectId device = noObject) {
    return {.pid = pid, .appId = std::move(appId), .signal = signal, .device = device};
}

// A fault for SimProbes::injectFault: `times` matching calls fail (< 0: until cleared).
inline SimServer::Fault fault(ServerCore::Operation operation,
                              ServerError error = ServerError::failed,
                              std::optional<ObjectId> object = std::nullopt, int times = -1) {
    return {.operation = operation, .error = error, .object = object, .times = times};
}

} // namespace voxlane::test
