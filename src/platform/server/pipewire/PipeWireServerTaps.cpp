// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireServerState.h"
#include "platform/server/pipewire/PipeWireTapNames.h"

#include <algorithm>
#include <utility>

namespace voxlane {

// ---- Taps, aggregate devices, render callbacks ----
//
// The records are PipeWireTapObjects (under the server's lock); what runs on the server is the
// tap host's (under the loop's lock). The loop's thread takes the server's lock when it reports
// events, so the host is called only after the server's lock is given up.

ServerError PipeWireServer::makeTap(const TapDescription& description, ObjectId* outTap) {
    *outTap = noObject;
    if (ServerError error = admit(Operation::createTap, noObject); error != ServerError::none)
        return error;
    std::lock_guard lock(s_->mutex);
    if (s_->options.readOnly) return ServerError::notPermitted;
    if (!s_->live()) return ServerError::notRunning;
    for (const auto& [_, t] : s_->objects.taps)
        if (!description.uuid.empty() && t.description.uuid == description.uuid)
            return ServerError::badValue;
    const ServerModel& model = s_->model.model();
    PipeWireTapObjects::Tap tap;
    tap.description = description;
    for (auto process : description.processes) {
        if (auto it = model.processes.find(process); it != model.processes.end()) {
            tap.pids.insert(pid_t(it->second.pid));
        } else if (!description.isExclusive) {
            return ServerError::unknownObject;
        }
    }
    if (const auto* output = model.device(model.defaultFor(Role::output)))
        tap.rate = output->info.sampleRate;
    tap.id = s_->model.reserveId();
    *outTap = tap.id;
    s_->objects.taps.emplace(tap.id, std::move(tap));
    return ServerError::none;
}

ServerError PipeWireServer::removeTap(ObjectId tap) {
    if (ServerError error = admit(Operation::destroyTap, tap); error != ServerError::none)
        return error;
    std::vector<std::uint64_t> runs;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        if (!s_->objects.taps.count(tap)) return ServerError::unknownObject;
        runs = s_->objects.removeTap(tap);
        session = s_->session;
        s_->publish(); // the aggregate devices that carried it have a stream less
    }
    for (auto run : runs)
        if (run && session) session->host->detachTap(run);
    return ServerError::none;
}

ServerError PipeWireServer::makeAggregate(const AggregateDescription& description,
                                          ObjectId* outDevice) {
    *outDevice = noObject;
    if (ServerError error = admit(Operation::createAggregate, noObject); error != ServerError::none)
        return error;
    std::lock_guard lock(s_->mutex);
    if (s_->options.readOnly) return ServerError::notPermitted;
    if (!s_->live()) return ServerError::notRunning;
    for (const auto& [_, a] : s_->objects.aggregates)
        if (a.description.uid == description.uid) return ServerError::badValue;
    // The main sub-device, else the first listed one that is there; it must play.
    std::optional<ObjectId> device;
    for (const auto& uid : description.playbackCandidates())
        if (!device) device = s_->model.deviceForUid(uid);
    if (!device) return ServerError::unknownObject;
    const DeviceInfo& info = s_->model.model().device(*device)->info;
    if (!info.hasOutput()) return ServerError::badValue;
    PipeWireTapObjects::Aggregate aggregate;
    aggregate.deviceOutputs = info.outputStreams;
    aggregate.deviceInputs = info.inputStreams;
    aggregate.device = info.uid;
    aggregate.rate = info.sampleRate;
    for (const auto& tapUuid : description.taps) {
        for (const auto& [id, t] : s_->objects.taps)
            if (t.description.uuid == tapUuid) aggregate.taps.push_back(id);
    }
    aggregate.description = description;
    aggregate.id = s_->model.reserveId();
    *outDevice = aggregate.id;
    s_->objects.aggregates.emplace(aggregate.id, std::move(aggregate));
    s_->publish();
    return ServerError::none;
}

ServerError PipeWireServer::removeAggregate(ObjectId device) {
    if (ServerError error = admit(Operation::destroyAggregate, device); error != ServerError::none)
        return error;
    std::vector<std::uint64_t> runs;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        auto* a = s_->objects.aggregate(device);
        if (!a) return ServerError::unknownObject;
        for (const auto& r : a->renders)
            if (r.run) runs.push_back(r.run);
        s_->objects.aggregates.erase(device); // its render callbacks go with it
        session = s_->session;
        s_->publish();
    }
    for (auto run : runs)
        if (session) session->host->stop(run);
    return ServerError::none;
}

ServerError PipeWireServer::makeRender(ObjectId device, RenderBlock block, RenderId* outRender) {
    *outRender = 0;
    if (ServerError error = admit(Operation::createRender, device); error != ServerError::none)
        return error;
    if (!block) return ServerError::badValue;
    std::lock_guard lock(s_->mutex);
    auto* a = s_->objects.aggregate(device);
    if (!a) return ServerError::unknownObject;
    PipeWireTapObjects::Render render;
    render.id = s_->objects.nextRender++;
    render.block = std::make_shared<const RenderBlock>(std::move(block));
    render.usage.assign(s_->objects.inputStreams(*a), true);
    *outRender = render.id;
    a->renders.push_back(std::move(render));
    return ServerError::none;
}

ServerError PipeWireServer::removeRender(ObjectId device, RenderId render) {
    if (ServerError error = admit(Operation::destroyRender, device); error != ServerError::none)
        return error;
    std::uint64_t run = 0;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        auto* a = s_->objects.aggregate(device);
        if (!a) return ServerError::unknownObject;
        auto it = std::find_if(a->renders.begin(), a->renders.end(),
                               [&](const auto& r) { return r.id == render; });
        if (it == a->renders.end()) return ServerError::unknownObject;
        run = it->run;
        a->renders.erase(it);
        session = s_->session;
    }
    if (run && session) session->host->stop(run);
    return ServerError::none;
}

namespace {

// What a render callback's streams are: `heard` is the first of the device's taps whose
// stream it has on (none: it only plays).
PipeWireTapRunner::Config runnerConfig(const PipeWireTapObjects::Aggregate& a,
                                       const PipeWireTapObjects::Render& r,
                                       const PipeWireTapObjects::Tap* heard) {
    PipeWireTapRunner::Config config;
    std::string node = PipeWireTapNames::captureNode(a.description.uid);
    if (a.renders.front().id != r.id) node += "." + std::to_string(r.id);
    config.captureNode = node;
    config.playbackNode = node + ".output";
    config.device = a.device;
    config.description = a.description.name.empty() ? "Voxlane" : a.description.name;
    config.rate = std::uint32_t(a.rate > 0 ? a.rate : 48000);
    config.deviceInputs = std::uint32_t(a.deviceInputs.size());
    config.block = r.block;
    if (!heard)
        config.kind = PipeWireTapRunner::Kind::playing;
    else if (heard->description.muteBehavior == TapMute::unmuted)
        config.kind = PipeWireTapRunner::Kind::metering;
    else
        config.kind = PipeWireTapRunner::Kind::muting;
    return config;
}

} // namespace

ServerError PipeWireServer::startRender(ObjectId device, RenderId render) {
    if (ServerError error = admit(Operation::startRender, device); error != ServerError::none)
        return error;
    PipeWireTapRunner::Config config;
    std::optional<PipeWireRouting::Tap> tap;
    std::shared_ptr<Session> session;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(s_->mutex);
        auto* a = s_->objects.aggregate(device);
        auto* r = s_->objects.render(device, render);
        if (!a || !r) return ServerError::unknownObject;
        if (r->run) return ServerError::none;
        session = s_->live();
        if (!session) return ServerError::notRunning;
        generation = s_->generation;
        const PipeWireTapObjects::Tap* heard = nullptr;
        for (std::size_t i = 0; i < a->taps.size() && !heard; ++i) {
            const std::size_t stream = a->deviceInputs.size() + i;
            if (stream < r->usage.size() && r->usage[stream])
                heard = &s_->objects.taps.at(a->taps[i]);
        }
        config = runnerConfig(*a, *r, heard);
        if (heard) {
            PipeWireRouting::Tap routing;
            routing.moves = config.kind == PipeWireTapRunner::Kind::muting;
            routing.global = heard->description.isExclusive;
            routing.pids = heard->pids;
            routing.captureNode = config.captureNode;
            tap = std::move(routing);
        }
    }
    int error = 0;
    const std::uint64_t run = session->host->start(std::move(config), std::move(tap), &error);
    if (!run) return ServerError::failed;
    bool kept = false;
    {
        std::lock_guard lock(s_->mutex);
        auto* r = s_->objects.render(device, render);
        if (r && !r->run && generation == s_->generation) {
            r->run = run;
            kept = true;
        }
    }
    if (!kept) session->host->stop(run); // removed, started or disconnected meanwhile
    return ServerError::none;
}

ServerError PipeWireServer::stopRender(ObjectId device, RenderId render) {
    if (ServerError error = admit(Operation::stopRender, device); error != ServerError::none)
        return error;
    std::uint64_t run = 0;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        auto* r = s_->objects.render(device, render);
        if (!r) return ServerError::unknownObject;
        run = std::exchange(r->run, 0);
        session = s_->session;
    }
    if (run && session) session->host->stop(run);
    return ServerError::none;
}

std::optional<std::vector<bool>> PipeWireServer::renderInputs(ObjectId device, RenderId render) {
    if (admit(Operation::renderInputs, device) != ServerError::none) return std::nullopt;
    std::lock_guard lock(s_->mutex);
    return s_->objects.inputUsage(device, render);
}

ServerError PipeWireServer::setRenderInputs(ObjectId device, RenderId render,
                                            const std::vector<bool>& usage) {
    if (ServerError error = admit(Operation::setRenderInputs, device); error != ServerError::none)
        return error;
    std::lock_guard lock(s_->mutex);
    return s_->objects.setInputUsage(device, render, usage);
}

std::optional<StreamFormat> PipeWireServer::tapFormat(ObjectId tap) {
    if (admit(Operation::tapFormat, tap) != ServerError::none) return std::nullopt;
    std::lock_guard lock(s_->mutex);
    return s_->objects.format(tap);
}

ServerError PipeWireServer::playSound(const std::string& name,
                                      std::shared_ptr<const std::vector<float>> samples,
                                      float volume) {
    if (ServerError error = admit(Operation::playSound, noObject); error != ServerError::none)
        return error;
    if (!samples) return ServerError::badValue;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        if (s_->options.readOnly) return ServerError::notPermitted;
        session = s_->live();
        if (!session) return ServerError::notRunning;
        if (!s_->model.model().defaultFor(Role::output)) return ServerError::unknownObject;
    }
    return session->host->playSound(name, std::move(samples), volume) < 0 ? ServerError::failed
                                                                          : ServerError::none;
}

std::uint64_t PipeWireServer::cyclesOf(const ServerHandle& handle) const {
    if (!handle || handle.kind() != ServerHandle::Kind::render) return 0;
    std::uint64_t run = 0;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        if (auto* r = s_->objects.render(handle.object(), handle.render())) run = r->run;
        session = s_->session;
    }
    return run && session ? session->host->cycles(run) : 0;
}

} // namespace voxlane
