// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/sim/SimServerState.h"

#include <algorithm>

namespace voxlane {

SimServer::State::Device* SimServer::State::device(ObjectId id) {
    auto it = devices.find(id);
    return it == devices.end() ? nullptr : &it->second;
}

const SimServer::State::Device* SimServer::State::device(ObjectId id) const {
    auto it = devices.find(id);
    return it == devices.end() ? nullptr : &it->second;
}

SimServer::State::Process* SimServer::State::process(ObjectId id) {
    auto it = processes.find(id);
    return it == processes.end() ? nullptr : &it->second;
}

const SimServer::State::Tap* SimServer::State::tap(ObjectId id) const {
    auto it = taps.find(id);
    return it == taps.end() ? nullptr : &it->second;
}

SimServer::State::Tap* SimServer::State::tap(ObjectId id) {
    auto it = taps.find(id);
    return it == taps.end() ? nullptr : &it->second;
}

ObjectId SimServer::State::ownProcess() const {
    if (ownPid <= 0) return noObject;
    for (const auto& [id, p] : processes)
        if (p.setup.pid == ownPid) return id;
    return noObject;
}

ObjectId SimServer::State::target(const Process& p) const {
    if (p.setup.device && devices.count(p.setup.device)) return p.setup.device;
    return defaults[std::size_t(Role::output)];
}

ObjectId SimServer::State::firstDeviceWith(Side side, ObjectId except) const {
    for (const auto& [id, d] : devices) {
        if (id == except || d.aggregate) continue;
        if (!streams(d, side).empty()) return id;
    }
    return noObject;
}

std::vector<std::uint32_t> SimServer::State::streams(const Device& d, Side side) const {
    const bool output = side == Side::output;
    if (!d.aggregate) return output ? d.setup.outputStreams : d.setup.inputStreams;
    std::vector<std::uint32_t> channels;
    if (const Device* sub = device(d.subDevice))
        channels = output ? sub->setup.outputStreams : sub->setup.inputStreams;
    if (!output) channels.insert(channels.end(), d.taps.size(), 2);
    return channels;
}

void SimServer::State::prepareDevice(Device& d) {
    d.mix.assign(std::size_t(bufferFrames) * 2, 0.0f);
    d.recorded.assign(recordFrames * 2, 0.0f);
}

SimServer::State::Render* SimServer::State::findRender(ObjectId deviceId, RenderId id) {
    Device* d = device(deviceId);
    if (!d) return nullptr;
    for (auto& r : d->renders)
        if (r->id == id) return r.get();
    return nullptr;
}

namespace {

// What a side's controls show: nothing on a side without streams or of an aggregate device.
DeviceControl controlOf(const SimServer::Controls& c, bool present) {
    DeviceControl control;
    if (!present) return control;
    if (c.hasVolume) {
        control.volume = c.volume;
        control.volumeSettable = c.volumeSettable;
    }
    if (c.hasMute) {
        control.mute = c.muted;
        control.muteSettable = c.muteSettable;
    }
    return control;
}

} // namespace

ServerModel::Device SimServer::State::modelOf(const Device& d) const {
    ServerModel::Device m;
    m.info.id = d.id;
    m.info.uid = d.setup.uid;
    m.info.name = d.setup.name;
    m.info.transport = d.aggregate ? Transport::aggregate : d.setup.transport;
    m.info.outputStreams = streams(d, Side::output);
    m.info.inputStreams = streams(d, Side::input);
    const Device* clock = d.aggregate ? device(d.subDevice) : &d;
    m.info.sampleRate = clock ? clock->setup.sampleRate : sampleRate;
    m.output = controlOf(d.setup.output, !d.aggregate && m.info.hasOutput());
    m.input = controlOf(d.setup.input, !d.aggregate && m.info.hasInput());
    m.listed = !d.aggregate;
    return m;
}

ProcessInfo SimServer::State::modelOf(const Process& p) const {
    return {p.id, p.setup.pid, p.setup.appId, p.setup.playing, p.setup.recording};
}

ServerModel SimServer::State::model() const {
    ServerModel m;
    m.connected = serverConnected;
    for (const auto& [id, d] : devices)
        m.devices.emplace(id, modelOf(d));
    for (const auto& [id, p] : processes)
        m.processes.emplace(id, modelOf(p));
    m.defaults = defaults;
    return m;
}

ServerError SimServer::State::fault(Operation op, ObjectId object) {
    ++calls[std::size_t(op)];
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if (it->operation != Operation::any && it->operation != op) continue;
        if (it->object && *it->object != object) continue;
        if (it->skip > 0) {
            --it->skip;
            continue;
        }
        const ServerError error = it->error;
        if (it->times > 0 && --it->times == 0) faults.erase(it);
        return error;
    }
    return ServerError::none;
}

} // namespace voxlane
