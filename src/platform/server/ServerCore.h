// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Scheduler.h"
#include "platform/server/AudioServer.h"
#include "platform/server/ServerModel.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace voxlane {

// What every audio server implementation does alike: it answers reads from the model the
// implementation publishes, keeps the subscriptions, and after each publication tells the
// subscribers of what changed (on the main queue, once per publication). An implementation
// publishes a new model whenever its view of the server changes and implements the writes and
// our own objects.
//
// Every operation first asks `admit`, which the simulated server uses to inject faults and count
// calls; a refused read answers as a failed one (empty or absent).
class ServerCore : public AudioServer {
public:
    // The operations, for `admit`.
    enum class Operation {
        any,
        connected,
        devices,
        device,
        control,
        setVolume,
        setMute,
        processes,
        process,
        processOf,
        defaultDevice,
        setDefaultDevice,
        subscribe,
        tapFormat,
        createTap,
        destroyTap,
        createAggregate,
        destroyAggregate,
        createRender,
        destroyRender,
        startRender,
        stopRender,
        renderInputs,
        setRenderInputs,
        playSound,
        count_
    };

    explicit ServerCore(Scheduler& mainQueue);
    ~ServerCore() override;
    ServerCore(const ServerCore&) = delete;
    ServerCore& operator=(const ServerCore&) = delete;

    bool connected() final;
    std::vector<ObjectId> devices() final;
    std::optional<DeviceInfo> device(ObjectId device) final;
    std::optional<DeviceControl> control(ObjectId device, Side side) final;
    std::vector<ObjectId> processes() final;
    std::optional<ProcessInfo> process(ObjectId process) final;
    ObjectId processOf(std::int32_t pid) final;
    ObjectId defaultDevice(Role role) final;
    Subscription subscribe(Change change, ObjectId object, std::function<void()> handler) final;

    // The model as last published.
    ServerModel model() const;
    // Subscriptions that are still held.
    std::size_t liveSubscriptions() const;

    // What changed from one model to the next, as (change, object) pairs: object noObject for
    // the server's own changes.
    static std::vector<std::pair<Change, ObjectId>> differences(const ServerModel& before,
                                                                const ServerModel& after);

protected:
    // Replaces the model and notifies the subscribers of what changed. Any thread.
    void publish(ServerModel next);
    // Whether an operation may go ahead; ServerError::none unless an implementation says other.
    virtual ServerError admit(Operation, ObjectId) { return ServerError::none; }
    Scheduler& mainQueue() const { return mainQueue_; }

private:
    struct Registry;

    Scheduler& mainQueue_;
    mutable std::mutex mutex_;
    ServerModel model_;
    std::shared_ptr<Registry> registry_;
};

} // namespace voxlane
