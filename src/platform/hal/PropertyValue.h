// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/hal/HalConstants.h"
#include "platform/hal/HalTypes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace voxlane {

// How a property value kept by a Hal implementation's model (a variant of fixed-size values,
// object lists and strings) reaches a caller's buffer.

// Its size in bytes; a string travels as a reference to a string object (8 bytes).
template <typename Variant>
std::uint32_t propertyValueSize(const Variant& value) {
    return std::visit(
        [](const auto& v) -> std::uint32_t {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::vector<std::uint32_t>>) {
                return std::uint32_t(v.size() * 4);
            } else if constexpr (std::is_same_v<T, std::optional<std::string>>) {
                return 8;
            } else {
                return sizeof(T);
            }
        },
        value);
}

// Copies it into `data`: an object list as far as *ioSize holds, anything else only whole.
// *ioSize becomes the number of bytes written. Strings are read through getPropertyString.
template <typename Variant>
OSStatus copyPropertyValue(const Variant& value, std::uint32_t* ioSize, void* data) {
    if (std::holds_alternative<std::optional<std::string>>(value))
        return kAudioHardwareUnsupportedOperationError;
    if (const auto* list = std::get_if<std::vector<std::uint32_t>>(&value)) {
        const auto count = std::min<std::uint32_t>(std::uint32_t(list->size()), *ioSize / 4);
        if (count) std::memcpy(data, list->data(), count * 4);
        *ioSize = count * 4;
        return 0;
    }
    const std::uint32_t size = propertyValueSize(value);
    if (*ioSize < size) return kAudioHardwareBadPropertySizeError;
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_trivially_copyable_v<T>) std::memcpy(data, &v, sizeof(T));
        },
        value);
    *ioSize = size;
    return 0;
}

} // namespace voxlane
