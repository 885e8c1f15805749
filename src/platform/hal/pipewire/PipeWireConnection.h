#pragma once

#include "platform/hal/pipewire/PipeWireEvent.h"

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
// reports everything it learns as PipeWireEvents to the sink, in order, on the loop's thread.
// Commands may be sent from any thread.
class PipeWireConnection {
public:
    using EventSink = std::function<void(PipeWireEvent)>;

    struct Options {
        std::string applicationName = "Voxlane";
        // How long `open` waits for the server's first complete answer.
        double timeoutSeconds = 3.0;
        // Also told every event, on the loop's thread, just before the sink. Ports are
        // reported (as globals of kind `port`) for its sake.
        EventSink observer;
    };

    // Connects and waits until the registry, and every object bound on the way, has been
    // reported to `sink`. Null, with the reason in *error, when no server answers in time.
    static std::unique_ptr<PipeWireConnection> open(EventSink sink, const Options& options,
                                                    std::string* error);
    ~PipeWireConnection();
    PipeWireConnection(const PipeWireConnection&) = delete;
    PipeWireConnection& operator=(const PipeWireConnection&) = delete;

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
