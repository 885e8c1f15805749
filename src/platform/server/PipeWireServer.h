// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Scheduler.h"
#include "platform/server/ServerCore.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>

namespace voxlane {

class PipeWireConnection;

// The audio server on a real PipeWire server (libpipewire-0.3).
//
// A connection on its own thread loop mirrors the server's registry; every change it reports is
// posted to the main queue, where it updates the local model (PipeWireModel), which is then
// published to the readers and subscribers (ServerCore). Reads answer from that model and never
// wait for the server. Writes go to the server at once and show in reads (and reach the
// subscribers) when the server's answer has come back through the main queue.
//
// What the objects are, and how volumes map, is described in PipeWireModel and PipeWireVolume.
//
// Process taps, private aggregate devices and render callbacks are Voxlane's own objects
// (PipeWireTapObjects); a render callback that runs is a pair of streams on the server
// (PipeWireTapRunner) into which the tapped applications' streams are routed
// (PipeWireTapHost): a muting tap moves them into a virtual sink of ours, so they are heard
// only through the render callback, which plays to the aggregate device's main sub-device; an
// unmuted tap links them to a capture stream of ours as well. The render block runs on
// PipeWire's real-time data thread. Starting the render callback takes the streams in,
// stopping it (or removing the callback, the device or the tap) lets them go back. Aggregate
// devices are private: they are in the model, but not in the device list. Sounds play as short
// streams to the default sink.
//
// The server comes and goes. Without one, the model is empty (not connected, no devices, no
// processes) and the server tries again, at first soon, then every 2 s. When the connection
// ends (the server exits or crashes, WirePlumber's objects go with WirePlumber) the model
// empties, which subscribers hear as devices, processes and defaults going; every render
// callback stops with the connection (the records stay until their owners remove them), and a
// new connection fills the model again with new objects.
class PipeWireServer final : public ServerCore {
public:
    // Names the app id (the desktop entry id) of a process that PipeWire gives none for.
    using AppIdResolver = std::function<std::optional<std::string>(pid_t)>;

    struct Options {
        AppIdResolver appIdResolver;
        std::string applicationName = "Voxlane";
        // How long a connection waits for the server's first answer.
        double timeoutSeconds = 3.0;
        // Whether to connect again after the connection ended or could not be made.
        bool reconnect = true;
        // Only looking: no tap, no sound, no write, nothing routed.
        bool readOnly = false;
        // This program's pid (its process object is what processOf finds for it); 0 means
        // getpid().
        pid_t ownPid = 0;
    };

    // Connects to the PipeWire server of this session (as libpipewire finds it: PIPEWIRE_REMOTE,
    // XDG_RUNTIME_DIR) and returns once the server's objects are in the model, or, when no
    // server answers within the timeout, empty and waiting for one.
    static std::unique_ptr<PipeWireServer> start(Scheduler& mainQueue, Options options);
    // The same, but null (with the reason in *whyNot) when no server answers, and without
    // connecting again.
    static std::unique_ptr<PipeWireServer> connect(Scheduler& mainQueue, Options options,
                                                   std::string* whyNot = nullptr);
    ~PipeWireServer() override;
    // (Starting a render callback, beside starting the server.)
    using AudioServer::start;

    // "PipeWire <version>" of the server.
    std::string serverDescription() const;
    // Whether a connection stands and its first answer is in.
    bool isConnected() const;
    // Why the last connection could not be made or ended.
    std::string lastFailure() const;
    // Cycles a running render callback has handed to its block (0 when it does not run).
    std::uint64_t cyclesOf(const ServerHandle& render) const;

    ServerError setVolume(ObjectId device, Side side, float volume) override;
    ServerError setMute(ObjectId device, Side side, bool muted) override;
    ServerError setDefaultDevice(Role role, ObjectId device) override;
    std::optional<StreamFormat> tapFormat(ObjectId tap) override;
    ServerError playSound(const std::string& name,
                          std::shared_ptr<const std::vector<float>> samples, float volume) override;

protected:
    ServerError makeTap(const TapDescription& description, ObjectId* tap) override;
    ServerError removeTap(ObjectId tap) override;
    ServerError makeAggregate(const AggregateDescription& description, ObjectId* device) override;
    ServerError removeAggregate(ObjectId device) override;
    ServerError makeRender(ObjectId device, RenderBlock block, RenderId* render) override;
    ServerError removeRender(ObjectId device, RenderId render) override;
    ServerError startRender(ObjectId device, RenderId render) override;
    ServerError stopRender(ObjectId device, RenderId render) override;
    std::optional<std::vector<bool>> renderInputs(ObjectId device, RenderId render) override;
    ServerError setRenderInputs(ObjectId device, RenderId render,
                                const std::vector<bool>& usage) override;

private:
    struct Session;
    struct State;
    PipeWireServer(Scheduler& mainQueue, std::shared_ptr<State> state);

    // Sends a planned write to the server.
    ServerError send(const std::function<int(PipeWireConnection&)>& write);
    // Writes a device's volume or (without one) its mute.
    ServerError writeControl(Operation operation, ObjectId device, Side side,
                             std::optional<float> volume, bool muted);

    std::shared_ptr<State> s_;
};

} // namespace voxlane
