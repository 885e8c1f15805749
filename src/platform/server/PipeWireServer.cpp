// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/PipeWireServer.h"

#include "platform/server/pipewire/PipeWireServerState.h"

#include <unistd.h>

namespace voxlane {

PipeWireServer::PipeWireServer(Scheduler& mainQueue, std::shared_ptr<State> state)
    : ServerCore(mainQueue), s_(std::move(state)) {}

PipeWireServer::~PipeWireServer() {
    if (s_->retry) s_->retry->cancel();
    std::uint64_t from = 0;
    {
        std::lock_guard lock(s_->mutex);
        from = s_->generation;
        s_->owner = nullptr; // what the connection still reports goes nowhere
    }
    s_->drop(from);
}

std::unique_ptr<PipeWireServer> PipeWireServer::start(Scheduler& mainQueue, Options options) {
    PipeWireModel::Options modelOptions;
    modelOptions.ownPid = options.ownPid > 0 ? options.ownPid : ::getpid();
    modelOptions.appIdResolver = std::move(options.appIdResolver);
    auto state = std::make_shared<State>(mainQueue, std::move(options), std::move(modelOptions));
    state->self = state;
    std::unique_ptr<PipeWireServer> server(new PipeWireServer(mainQueue, state));
    {
        std::lock_guard lock(state->mutex);
        state->owner = server.get();
    }
    state->connect(state->options.timeoutSeconds);
    return server;
}

std::unique_ptr<PipeWireServer> PipeWireServer::connect(Scheduler& mainQueue, Options options,
                                                        std::string* whyNot) {
    options.reconnect = false;
    auto server = start(mainQueue, std::move(options));
    if (server->isConnected()) return server;
    if (whyNot) *whyNot = server->s_->lastFailure;
    return nullptr;
}

std::string PipeWireServer::serverDescription() const {
    return s_->serverDescription();
}

bool PipeWireServer::isConnected() const {
    return s_->current() != nullptr;
}

std::string PipeWireServer::lastFailure() const {
    return s_->lastFailure;
}

ServerError PipeWireServer::send(const std::function<int(PipeWireConnection&)>& write) {
    std::shared_ptr<Session> session = s_->current();
    if (!session) return ServerError::notRunning;
    return write(*session->connection) < 0 ? ServerError::failed : ServerError::none;
}

namespace {

// Why a write cannot go to the server at all, under the server's lock.
ServerError refusal(bool readOnly, bool live) {
    if (readOnly) return ServerError::notPermitted;
    if (!live) return ServerError::notRunning;
    return ServerError::none;
}

} // namespace

ServerError PipeWireServer::setVolume(ObjectId device, Side side, float volume) {
    return writeControl(Operation::setVolume, device, side, volume, false);
}

ServerError PipeWireServer::setMute(ObjectId device, Side side, bool muted) {
    return writeControl(Operation::setMute, device, side, std::nullopt, muted);
}

ServerError PipeWireServer::writeControl(Operation operation, ObjectId device, Side side,
                                         std::optional<float> volume, bool muted) {
    if (ServerError error = admit(operation, device); error != ServerError::none) return error;
    PipeWireModel::NodeWrite write;
    {
        std::lock_guard lock(s_->mutex);
        if (s_->objects.aggregates.count(device)) return ServerError::unsupported;
        if (auto e = refusal(s_->options.readOnly, bool(s_->live())); e != ServerError::none)
            return e;
        const ServerError planned = volume ? s_->model.planVolume(device, side, *volume, write)
                                           : s_->model.planMute(device, side, muted, write);
        if (planned != ServerError::none) return planned;
    }
    return send([&](PipeWireConnection& c) {
        return c.setNodeControls(write.node, write.channelVolumes, write.mute);
    });
}

ServerError PipeWireServer::setDefaultDevice(Role role, ObjectId device) {
    if (ServerError error = admit(Operation::setDefaultDevice, device); error != ServerError::none)
        return error;
    PipeWireModel::MetadataWrite write;
    {
        std::lock_guard lock(s_->mutex);
        if (s_->objects.aggregates.count(device)) return ServerError::unsupported;
        if (auto e = refusal(s_->options.readOnly, bool(s_->live())); e != ServerError::none)
            return e;
        if (auto e = s_->model.planDefault(role, device, write); e != ServerError::none) return e;
    }
    return send([&](PipeWireConnection& c) {
        return c.setMetadata("default", write.subject, write.key, write.type, write.value);
    });
}

} // namespace voxlane
