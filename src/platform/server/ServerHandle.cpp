// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/ServerHandle.h"

#include "platform/server/AudioServer.h"

#include <utility>

namespace voxlane {

ServerHandle& ServerHandle::operator=(ServerHandle&& other) noexcept {
    if (this == &other) return *this;
    reset();
    server_ = std::exchange(other.server_, nullptr);
    kind_ = other.kind_;
    object_ = std::exchange(other.object_, noObject);
    render_ = std::exchange(other.render_, 0);
    return *this;
}

void ServerHandle::reset() {
    AudioServer* server = std::exchange(server_, nullptr);
    if (!server) return;
    switch (kind_) {
    case Kind::tap:
        server->removeTap(object_);
        break;
    case Kind::aggregate:
        server->removeAggregate(object_);
        break;
    case Kind::render:
        server->stopRender(object_, render_);
        server->removeRender(object_, render_);
        break;
    }
    object_ = noObject;
    render_ = 0;
}

} // namespace voxlane
