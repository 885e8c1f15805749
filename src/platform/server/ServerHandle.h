// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/ServerTypes.h"

namespace voxlane {

class AudioServer;

// One object Voxlane made on the audio server: a tap, an aggregate device or a render callback.
// The handle owns it: `reset()` or the handle's end destroys it on the server (a render callback
// is stopped first); a failed destruction is not retried. Move-only; the server must outlive
// its handles. Used on the thread that made it.
class ServerHandle {
public:
    enum class Kind { tap, aggregate, render };

    ServerHandle() = default;
    ServerHandle(AudioServer& server, Kind kind, ObjectId object, RenderId render = 0)
        : server_(&server), kind_(kind), object_(object), render_(render) {}
    ~ServerHandle() { reset(); }
    ServerHandle(ServerHandle&& other) noexcept { *this = std::move(other); }
    ServerHandle& operator=(ServerHandle&& other) noexcept;
    ServerHandle(const ServerHandle&) = delete;
    ServerHandle& operator=(const ServerHandle&) = delete;

    void reset();
    // Forgets the object without destroying it, for when its server has gone.
    void release() { server_ = nullptr; }

    explicit operator bool() const { return server_ != nullptr; }
    Kind kind() const { return kind_; }
    // The tap or aggregate device; for a render callback, the device it runs on.
    ObjectId object() const { return object_; }
    // The render callback's id (0 for the other kinds).
    RenderId render() const { return render_; }

private:
    AudioServer* server_ = nullptr;
    Kind kind_ = Kind::tap;
    ObjectId object_ = noObject;
    RenderId render_ = 0;
};

} // namespace voxlane
