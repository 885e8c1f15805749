// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ObserverList.h"
#include "platform/server/AggregateDescription.h"
#include "platform/server/BufferList.h"
#include "platform/server/ServerHandle.h"
#include "platform/server/ServerTypes.h"
#include "platform/server/TapDescription.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace voxlane {

// Called once per cycle of a running render callback with the device's input buffers and its
// output buffers, which arrive zeroed and are written in place. It runs on the audio server's
// real-time thread; the server never allocates around the call.
using RenderBlock = std::function<void(const BufferList& input, const BufferList& output)>;

// The audio server as Voxlane sees it: devices with their volume and mute, client processes,
// the default devices, change subscriptions, and the objects Voxlane makes itself: process taps
// (what some processes play, or all but some), aggregate devices (an output device carrying
// taps as extra inputs) and render callbacks on them.
//
// Nothing here throws. Reads answer from the implementation's local model of the server and
// never block on it, so they are cheap enough to make on every refresh; a failed read gives an
// empty list or an absent value. Writes report a ServerError (none on success) and show in reads
// once the server has taken them. Any thread may call; the system calls on the main thread
// except the permission probe, which builds and reads its tap on a worker thread.
//
// Subscribers are called on the main queue after the change; a subscription dropped before a
// pending notification is delivered is not called. Render blocks run on the audio thread.
class AudioServer {
public:
    virtual ~AudioServer() = default;

    // Whether the server is reachable. One that is not has no devices and no processes.
    virtual bool connected() = 0;

    // Devices the user can pick (not the aggregate devices of ours), in the server's order.
    virtual std::vector<ObjectId> devices() = 0;
    // A device's description, also for an aggregate device of ours.
    virtual std::optional<DeviceInfo> device(ObjectId device) = 0;
    virtual std::optional<DeviceControl> control(ObjectId device, Side side) = 0;
    virtual ServerError setVolume(ObjectId device, Side side, float volume) = 0;
    virtual ServerError setMute(ObjectId device, Side side, bool muted) = 0;

    virtual std::vector<ObjectId> processes() = 0;
    virtual std::optional<ProcessInfo> process(ObjectId process) = 0;
    // The process object of a pid, or noObject.
    virtual ObjectId processOf(std::int32_t pid) = 0;

    // The default device for a role, or noObject.
    virtual ObjectId defaultDevice(Role role) = 0;
    virtual ServerError setDefaultDevice(Role role, ObjectId device) = 0;

    // Calls `handler` after each change of that kind (of `object` for volume, mute and running)
    // until the subscription is dropped; null when the server refused it.
    [[nodiscard]] virtual Subscription subscribe(Change change, ObjectId object,
                                                 std::function<void()> handler) = 0;

    // Our own objects. Each comes as a handle that destroys it when the handle goes; on failure
    // the handle is empty and *error says why.
    ServerHandle createTap(const TapDescription& description, ServerError* error = nullptr);
    ServerHandle createAggregate(const AggregateDescription& description,
                                 ServerError* error = nullptr);
    // A render callback on an aggregate device; stopped and removed with its handle.
    ServerHandle createRender(ObjectId device, RenderBlock block, ServerError* error = nullptr);

    // The format of what a tap delivers.
    virtual std::optional<StreamFormat> tapFormat(ObjectId tap) = 0;
    ServerError start(const ServerHandle& render);
    ServerError stop(const ServerHandle& render);
    // Which of the device's input streams a render callback receives (all, when it was made).
    std::optional<std::vector<bool>> inputStreamUsage(const ServerHandle& render);
    ServerError setInputStreamUsage(const ServerHandle& render, const std::vector<bool>& usage);

    // Plays a short sound of this program (mono samples at 48 kHz, scaled by `volume`) once on
    // the alert device.
    virtual ServerError playSound(const std::string& name,
                                  std::shared_ptr<const std::vector<float>> samples,
                                  float volume) = 0;

protected:
    friend class ServerHandle;

    virtual ServerError makeTap(const TapDescription& description, ObjectId* tap) = 0;
    virtual ServerError removeTap(ObjectId tap) = 0;
    virtual ServerError makeAggregate(const AggregateDescription& description,
                                      ObjectId* device) = 0;
    virtual ServerError removeAggregate(ObjectId device) = 0;
    virtual ServerError makeRender(ObjectId device, RenderBlock block, RenderId* render) = 0;
    virtual ServerError removeRender(ObjectId device, RenderId render) = 0;
    virtual ServerError startRender(ObjectId device, RenderId render) = 0;
    virtual ServerError stopRender(ObjectId device, RenderId render) = 0;
    virtual std::optional<std::vector<bool>> renderInputs(ObjectId device, RenderId render) = 0;
    virtual ServerError setRenderInputs(ObjectId device, RenderId render,
                                        const std::vector<bool>& usage) = 0;
};

} // namespace voxlane
