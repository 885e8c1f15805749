// SPDX-License-Identifier: GPL-3.0-or-later
// Process taps, aggregate devices, render callbacks and played sounds of the simulated server.
#include "platform/server/sim/SimServerState.h"

#include <algorithm>

namespace voxlane {

ServerError SimServer::makeTap(const TapDescription& description, ObjectId* tap) {
    std::lock_guard lock(s_->mutex);
    if (ServerError e = admit(Operation::createTap, noObject); e != ServerError::none) return e;
    if (!tap) return ServerError::badValue;
    if (!description.isExclusive) {
        for (auto process : description.processes)
            if (!s_->processes.count(process)) return ServerError::unknownObject;
    }
    for (const auto& [_, t] : s_->taps)
        if (!description.uuid.empty() && t.description.uuid == description.uuid)
            return ServerError::badValue;
    State::Tap t;
    t.id = s_->nextObject++;
    t.description = description;
    t.nonInterleaved = s_->tapsNonInterleaved;
    t.capture.assign(std::size_t(s_->bufferFrames) * 2, 0.0f);
    *tap = t.id;
    s_->taps.emplace(t.id, std::move(t));
    return ServerError::none;
}

ServerError SimServer::removeTap(ObjectId tapID) {
    std::lock_guard lock(s_->mutex);
    if (ServerError e = admit(Operation::destroyTap, tapID); e != ServerError::none) return e;
    if (!s_->taps.erase(tapID)) return ServerError::unknownObject;
    bool changed = false;
    for (auto& [_, d] : s_->devices) {
        auto it = std::find(d.taps.begin(), d.taps.end(), tapID);
        if (it == d.taps.end()) continue;
        d.taps.erase(it);
        for (auto& render : d.renders)
            s_->prepare(d, *render);
        changed = true;
    }
    if (changed) publishWorld(); // an aggregate device lost an input stream
    return ServerError::none;
}

ServerError SimServer::makeAggregate(const AggregateDescription& description, ObjectId* device) {
    std::lock_guard lock(s_->mutex);
    if (ServerError e = admit(Operation::createAggregate, noObject); e != ServerError::none)
        return e;
    if (!device) return ServerError::badValue;
    for (const auto& [_, d] : s_->devices)
        if (d.setup.uid == description.uid) return ServerError::badValue;
    State::Device d;
    d.id = s_->nextObject++;
    d.aggregate = true;
    d.description = description;
    d.setup.name = description.name;
    d.setup.uid = description.uid;
    d.setup.output = {false, false, 1.0f, false, false, false};
    d.setup.input = d.setup.output;
    // The first listed sub-device that exists carries the audio (the main one when listed).
    for (const auto& uid : description.playbackCandidates()) {
        for (const auto& [id, other] : s_->devices)
            if (!other.aggregate && other.setup.uid == uid && !d.subDevice) d.subDevice = id;
    }
    for (const auto& tapUuid : description.taps) {
        for (const auto& [id, t] : s_->taps)
            if (t.description.uuid == tapUuid) d.taps.push_back(id);
    }
    s_->prepareDevice(d);
    *device = d.id;
    s_->devices.emplace(d.id, std::move(d));
    publishWorld();
    return ServerError::none;
}

ServerError SimServer::removeAggregate(ObjectId id) {
    std::lock_guard lock(s_->mutex);
    if (ServerError e = admit(Operation::destroyAggregate, id); e != ServerError::none) return e;
    const State::Device* d = s_->device(id);
    if (!d || !d->aggregate) return ServerError::unknownObject;
    s_->devices.erase(id); // its render callbacks go with it
    publishWorld();
    return ServerError::none;
}

ServerError SimServer::makeRender(ObjectId id, RenderBlock block, RenderId* render) {
    std::lock_guard lock(s_->mutex);
    if (ServerError e = admit(Operation::createRender, id); e != ServerError::none) return e;
    if (!render || !block) return ServerError::badValue;
    State::Device* d = s_->device(id);
    if (!d || !d->aggregate) return ServerError::unknownObject; // only on our own devices
    auto r = std::make_unique<State::Render>();
    r->id = s_->nextRender++;
    r->block = std::move(block);
    s_->prepare(*d, *r);
    *render = r->id;
    d->renders.push_back(std::move(r));
    return ServerError::none;
}

ServerError SimServer::removeRender(ObjectId id, RenderId render) {
    std::lock_guard lock(s_->mutex);
    if (ServerError e = admit(Operation::destroyRender, id); e != ServerError::none) return e;
    State::Device* d = s_->device(id);
    if (!d) return ServerError::unknownObject;
    auto it = std::find_if(d->renders.begin(), d->renders.end(),
                           [&](const auto& r) { return r->id == render; });
    if (it == d->renders.end()) return ServerError::unknownObject;
    d->renders.erase(it);
    return ServerError::none;
}

ServerError SimServer::startRender(ObjectId id, RenderId render) {
    std::lock_guard lock(s_->mutex);
    if (ServerError e = admit(Operation::startRender, id); e != ServerError::none) return e;
    State::Render* r = s_->findRender(id, render);
    if (!r) return ServerError::unknownObject;
    r->running = true;
    return ServerError::none;
}

ServerError SimServer::stopRender(ObjectId id, RenderId render) {
    std::lock_guard lock(s_->mutex);
    if (ServerError e = admit(Operation::stopRender, id); e != ServerError::none) return e;
    State::Render* r = s_->findRender(id, render);
    if (!r) return ServerError::unknownObject;
    r->running = false;
    return ServerError::none;
}

std::optional<std::vector<bool>> SimServer::renderInputs(ObjectId id, RenderId render) {
    std::lock_guard lock(s_->mutex);
    if (admit(Operation::renderInputs, id) != ServerError::none) return std::nullopt;
    const State::Render* r = s_->findRender(id, render);
    if (!r) return std::nullopt;
    return r->usage;
}

ServerError SimServer::setRenderInputs(ObjectId id, RenderId render,
                                       const std::vector<bool>& usage) {
    std::lock_guard lock(s_->mutex);
    if (ServerError e = admit(Operation::setRenderInputs, id); e != ServerError::none) return e;
    State::Render* r = s_->findRender(id, render);
    if (!r) return ServerError::unknownObject;
    if (usage.size() != r->usage.size()) return ServerError::badValue;
    r->usage = usage; // same size: no allocation while a cycle could run
    return ServerError::none;
}

std::optional<StreamFormat> SimServer::tapFormat(ObjectId id) {
    std::lock_guard lock(s_->mutex);
    if (admit(Operation::tapFormat, id) != ServerError::none) return std::nullopt;
    const State::Tap* t = s_->tap(id);
    if (!t) return std::nullopt;
    return StreamFormat{s_->sampleRate, 2, !t->nonInterleaved};
}

ServerError SimServer::playSound(const std::string& name,
                                 std::shared_ptr<const std::vector<float>> samples, float volume) {
    std::lock_guard lock(s_->mutex);
    const ObjectId device = s_->defaultFor(Role::alerts);
    if (ServerError e = admit(Operation::playSound, device); e != ServerError::none) return e;
    if (!samples) return ServerError::badValue;
    if (!s_->device(device)) return ServerError::notRunning;
    s_->played.push_back({name, volume, device});
    s_->sounds.push_back({name, std::move(samples), volume, device, 0});
    return ServerError::none;
}

} // namespace voxlane
