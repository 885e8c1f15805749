// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/pipewire/PipeWireEvent.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct pw_core;
struct pw_thread_loop;

namespace voxlane {

// A connection to a PipeWire server on a thread loop of its own. It watches the registry, binds
// the audio nodes, the clients, the devices and the "default" and "settings" metadata, and
// reports everything it learns as PipeWireEvents, in order, on the loop's thread: first what
// the server had when the connection was made, then `Connected`, then every change. When the
// connection breaks (the server exits or crashes, its socket closes, it reports a fatal error)
// it reports `Disconnected` once and nothing more; the object stays usable and is then only
// good for being destroyed. Commands may be sent from any thread.
//
// Making one takes two steps, so that whoever works on the connection's thread (the tap host)
// can be made with the connection before the first event arrives: `create` starts the thread,
// `connect` reaches the server.
class PipeWireConnection {
public:
    using EventSink = std::function<void(PipeWireEvent)>;

    struct Options {
        std::string applicationName = "Voxlane";
    };

    // The thread loop, started, and a context; no server yet. Null, with the reason in *error,
    // when PipeWire's library cannot make them.
    static std::unique_ptr<PipeWireConnection> create(const Options& options, std::string* error);
    ~PipeWireConnection();
    PipeWireConnection(const PipeWireConnection&) = delete;
    PipeWireConnection& operator=(const PipeWireConnection&) = delete;

    // Reaches the server (as libpipewire finds it: PIPEWIRE_REMOTE, XDG_RUNTIME_DIR) and starts
    // reporting: each event goes to `observer`, then to `sink`. Ports are reported (as globals
    // of kind `port`) for the observer's sake. False, with the reason in *error, when no server
    // takes the connection. Call once.
    bool connect(EventSink observer, EventSink sink, std::string* error);
    // Waits, at most `seconds`, until `Connected` has been reported. False, with the reason in
    // *error, when the connection broke or the time ran out. Not on the loop's thread.
    bool waitUntilConnected(double seconds, std::string* error);

    // Sets a node's Props: channel volumes (linear gains) and mute, each when given.
    // 0 when sent, a negative errno when the node is unknown or the request failed.
    int setNodeControls(std::uint32_t node, const std::optional<std::vector<float>>& channelVolumes,
                        std::optional<bool> mute);
    // Sets (or, without a value, removes) a key of the named metadata object.
    int setMetadata(const std::string& metadata, std::uint32_t subject, const std::string& key,
                    const std::string& type, const std::optional<std::string>& value);
    // The server's version and name, for telling the user what Voxlane runs on.
    std::string serverDescription() const;

    // For objects of our own that live on this connection (streams, links): the core and the
    // thread loop. Use the core only on the loop's thread or with the loop locked
    // (pw_thread_loop_lock; the lock is recursive).
    pw_core* core() const;
    // Waits (at most `seconds`) until the server has handled everything sent so far. Not on
    // the loop's thread.
    bool roundTrip(double seconds);
    pw_thread_loop* threadLoop() const;

private:
    struct Impl;
    explicit PipeWireConnection(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace voxlane
