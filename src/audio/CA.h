// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/ListenerToken.h"
#include "platform/hal/Hal.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace voxlane {

// Typed property access on the Hal. Nothing here throws or logs: every failed access gives an
// empty list or an absent value.
namespace CA {

// Scope global and element main unless given.
constexpr AudioObjectPropertyAddress
address(AudioObjectPropertySelector selector,
        AudioObjectPropertyScope scope = kAudioObjectPropertyScopeGlobal,
        AudioObjectPropertyElement element = kAudioObjectPropertyElementMain) {
    return {selector, scope, element};
}

// A list of 32-bit values (object lists): [] when the size query fails or reports 0 bytes
// (without reading), or when the read fails.
std::vector<std::uint32_t> array(Hal& hal, AudioObjectID id,
                                 const AudioObjectPropertyAddress& address,
                                 std::uint32_t initial = 0);

// A string property; absent when the read fails or there is no string.
std::optional<std::string> string(Hal& hal, AudioObjectID id,
                                  const AudioObjectPropertyAddress& address);

// A fixed-size value (UInt32, Int32, Float32, Float64, a stream format); absent on any failure.
template <typename T>
std::optional<T> value(Hal& hal, AudioObjectID id, const AudioObjectPropertyAddress& address,
                       std::uint32_t qualifierSize = 0, const void* qualifier = nullptr) {
    static_assert(std::is_trivially_copyable_v<T>);
    T result{};
    std::uint32_t size = sizeof(T);
    if (hal.getPropertyData(id, address, qualifierSize, qualifier, &size, &result) != 0)
        return std::nullopt;
    return result;
}

// Registers `handler` (called without arguments, on the main queue) for changes of the
// property. Returns the registration, or null when the Hal refused it.
std::unique_ptr<ListenerToken> listen(Hal& hal, AudioObjectID id,
                                      const AudioObjectPropertyAddress& address,
                                      std::function<void()> handler);

} // namespace CA
} // namespace voxlane
