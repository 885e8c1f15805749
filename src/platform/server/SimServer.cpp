// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/SimServer.h"

#include "platform/server/sim/SimServerState.h"

#include <algorithm>
#include <cmath>

namespace voxlane {

SimServer::SimServer(Scheduler& mainQueue, double sampleRate, std::uint32_t bufferFrames)
    : ServerCore(mainQueue), s_(std::make_unique<State>(sampleRate, bufferFrames)) {
    std::lock_guard lock(s_->mutex);
    publishWorld();
}

SimServer::~SimServer() = default;

void SimServer::publishWorld() {
    publish(s_->model());
}

ServerError SimServer::admit(Operation operation, ObjectId object) {
    std::lock_guard lock(s_->mutex);
    return s_->fault(operation, object);
}

// ---- the simulated world ----

ObjectId SimServer::addDevice(DeviceSetup setup) {
    std::lock_guard lock(s_->mutex);
    State::Device d;
    d.id = s_->nextObject++;
    d.setup = std::move(setup);
    s_->prepareDevice(d);
    const ObjectId id = d.id;
    const bool output = !d.setup.outputStreams.empty();
    const bool input = !d.setup.inputStreams.empty();
    s_->devices.emplace(id, std::move(d));
    for (Role role : {Role::output, Role::alerts})
        if (output && !s_->defaultFor(role)) s_->defaultFor(role) = id;
    if (input && !s_->defaultFor(Role::input)) s_->defaultFor(Role::input) = id;
    publishWorld();
    return id;
}

void SimServer::removeDevice(ObjectId id) {
    std::lock_guard lock(s_->mutex);
    if (!s_->devices.erase(id)) return;
    for (auto& [_, d] : s_->devices)
        if (d.aggregate && d.subDevice == id) d.subDevice = noObject;
    s_->prepareAll();
    for (Role role : {Role::output, Role::alerts, Role::input}) {
        if (s_->defaultFor(role) != id) continue;
        s_->defaultFor(role) =
            s_->firstDeviceWith(role == Role::input ? Side::input : Side::output, id);
    }
    publishWorld();
}

ObjectId SimServer::addProcess(ProcessSetup setup) {
    std::lock_guard lock(s_->mutex);
    State::Process p;
    p.id = s_->nextObject++;
    p.setup = std::move(setup);
    p.buffer.assign(std::size_t(s_->bufferFrames) * 2, 0.0f);
    const ObjectId id = p.id;
    s_->processes.emplace(id, std::move(p));
    publishWorld();
    return id;
}

void SimServer::removeProcess(ObjectId id) {
    std::lock_guard lock(s_->mutex);
    if (s_->processes.erase(id)) publishWorld();
}

void SimServer::setProcessRunning(ObjectId id, bool playing, bool recording) {
    std::lock_guard lock(s_->mutex);
    State::Process* p = s_->process(id);
    if (!p) return;
    p->setup.playing = playing;
    p->setup.recording = recording;
    publishWorld();
}

void SimServer::setProcessSignal(ObjectId id, Signal signal) {
    std::lock_guard lock(s_->mutex);
    if (State::Process* p = s_->process(id)) p->setup.signal = signal;
}

void SimServer::setProcessDevice(ObjectId id, ObjectId device) {
    std::lock_guard lock(s_->mutex);
    if (State::Process* p = s_->process(id)) p->setup.device = device;
}

void SimServer::setCaptureAllowed(bool allowed) {
    std::lock_guard lock(s_->mutex);
    s_->captureAllowed = allowed;
}

void SimServer::setTapsNonInterleaved(bool nonInterleaved) {
    std::lock_guard lock(s_->mutex);
    s_->tapsNonInterleaved = nonInterleaved;
}

void SimServer::setServerConnected(bool connected) {
    std::lock_guard lock(s_->mutex);
    s_->serverConnected = connected;
    publishWorld();
}

void SimServer::setOwnPid(std::int32_t pid) {
    std::lock_guard lock(s_->mutex);
    s_->ownPid = pid;
}

// ---- the clock ----

void SimServer::advance(std::uint32_t frames) {
    std::lock_guard lock(s_->mutex);
    for (auto& [_, d] : s_->devices) {
        d.peak = 0;
        d.recordCount = 0;
    }
    for (auto& [_, p] : s_->processes)
        p.audiblePeak = 0;
    while (frames > 0) {
        const std::uint32_t n = std::min(frames, s_->bufferFrames);
        s_->cycle(n);
        frames -= n;
    }
}

double SimServer::sampleRate() const {
    return s_->sampleRate;
}

std::uint32_t SimServer::bufferFrames() const {
    return s_->bufferFrames;
}

// ---- what happened ----

float SimServer::peak(ObjectId id) const {
    std::lock_guard lock(s_->mutex);
    const State::Device* d = s_->device(id);
    return d ? d->peak : 0.0f;
}

std::vector<float> SimServer::lastSamples(ObjectId id) const {
    std::lock_guard lock(s_->mutex);
    const State::Device* d = s_->device(id);
    if (!d) return {};
    std::vector<float> samples(d->recordCount);
    const std::size_t size = d->recorded.size();
    const std::size_t start = (d->recordPos + size - d->recordCount) % size;
    for (std::size_t i = 0; i < d->recordCount; ++i)
        samples[i] = d->recorded[(start + i) % size];
    return samples;
}

float SimServer::processAudiblePeak(ObjectId id) const {
    std::lock_guard lock(s_->mutex);
    auto it = s_->processes.find(id);
    return it == s_->processes.end() ? 0.0f : it->second.audiblePeak;
}

bool SimServer::isMutedAtSource(ObjectId id) const {
    std::lock_guard lock(s_->mutex);
    auto it = s_->processes.find(id);
    return it != s_->processes.end() && it->second.muted;
}

std::vector<SimServer::PlayedSound> SimServer::playedSounds() const {
    std::lock_guard lock(s_->mutex);
    return s_->played;
}

float SimServer::deviceVolume(ObjectId id, Side side) const {
    std::lock_guard lock(s_->mutex);
    State::Device* d = s_->device(id);
    return d ? State::controls(*d, side).volume : 0.0f;
}

bool SimServer::deviceMuted(ObjectId id, Side side) const {
    std::lock_guard lock(s_->mutex);
    State::Device* d = s_->device(id);
    return d && State::controls(*d, side).muted;
}

// ---- writes ----

ServerError SimServer::setVolume(ObjectId id, Side side, float volume) {
    std::lock_guard lock(s_->mutex);
    if (ServerError e = admit(Operation::setVolume, id); e != ServerError::none) return e;
    if (!s_->devices.count(id)) return ServerError::unknownObject;
    const ServerModel::Device view = s_->modelOf(*s_->device(id));
    const DeviceControl& control = side == Side::output ? view.output : view.input;
    if (!control.volume) return ServerError::unsupported;
    if (!control.volumeSettable) return ServerError::notPermitted;
    if (std::isnan(volume)) return ServerError::badValue;
    State::controls(*s_->device(id), side).volume = std::clamp(volume, 0.0f, 1.0f);
    publishWorld();
    return ServerError::none;
}

ServerError SimServer::setMute(ObjectId id, Side side, bool muted) {
    std::lock_guard lock(s_->mutex);
    if (ServerError e = admit(Operation::setMute, id); e != ServerError::none) return e;
    if (!s_->devices.count(id)) return ServerError::unknownObject;
    const ServerModel::Device view = s_->modelOf(*s_->device(id));
    const DeviceControl& control = side == Side::output ? view.output : view.input;
    if (!control.mute) return ServerError::unsupported;
    if (!control.muteSettable) return ServerError::notPermitted;
    State::controls(*s_->device(id), side).muted = muted;
    publishWorld();
    return ServerError::none;
}

ServerError SimServer::setDefaultDevice(Role role, ObjectId id) {
    std::lock_guard lock(s_->mutex);
    if (ServerError e = admit(Operation::setDefaultDevice, id); e != ServerError::none) return e;
    const State::Device* d = s_->device(id);
    if (!d) return ServerError::unknownObject;
    const Side side = role == Role::input ? Side::input : Side::output;
    if (d->aggregate || s_->streams(*d, side).empty()) return ServerError::unsupported;
    s_->defaultFor(role) = id;
    publishWorld();
    return ServerError::none;
}

} // namespace voxlane
