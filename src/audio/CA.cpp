// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/CA.h"

#include "platform/Utf8.h"

namespace voxlane::CA {

std::vector<std::uint32_t> array(Hal& hal, AudioObjectID id,
                                 const AudioObjectPropertyAddress& address, std::uint32_t initial) {
    std::uint32_t size = 0;
    if (hal.getPropertyDataSize(id, address, 0, nullptr, &size) != 0 || size == 0) return {};
    std::vector<std::uint32_t> values(size / 4, initial);
    if (values.empty()) return {};
    std::uint32_t read = std::uint32_t(values.size() * 4);
    if (hal.getPropertyData(id, address, 0, nullptr, &read, values.data()) != 0) return {};
    values.resize(std::min<std::size_t>(values.size(), read / 4));
    return values;
}

std::optional<std::string> string(Hal& hal, AudioObjectID id,
                                  const AudioObjectPropertyAddress& address) {
    std::optional<std::string> value;
    if (hal.getPropertyString(id, address, &value) != 0) return std::nullopt;
    // Names, uids and bundle ids reach JSON, the log and the views.
    if (value) *value = Utf8::valid(*value);
    return value;
}

std::unique_ptr<ListenerToken> listen(Hal& hal, AudioObjectID id,
                                      const AudioObjectPropertyAddress& address,
                                      std::function<void()> handler) {
    auto block = std::make_shared<const AudioObjectPropertyListenerBlock>(
        [handler = std::move(handler)](std::uint32_t, const AudioObjectPropertyAddress*) {
            handler();
        });
    if (hal.addPropertyListener(id, address, block) != 0) return nullptr;
    return std::make_unique<ListenerToken>(hal, id, address, std::move(block));
}

} // namespace voxlane::CA
