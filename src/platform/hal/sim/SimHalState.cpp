// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hal/sim/SimHalState.h"

#include <algorithm>

namespace voxlane {

SimHal::State::Device* SimHal::State::device(AudioObjectID id) {
    auto it = devices.find(id);
    return it == devices.end() ? nullptr : &it->second;
}

const SimHal::State::Device* SimHal::State::device(AudioObjectID id) const {
    auto it = devices.find(id);
    return it == devices.end() ? nullptr : &it->second;
}

SimHal::State::Process* SimHal::State::process(AudioObjectID id) {
    auto it = processes.find(id);
    return it == processes.end() ? nullptr : &it->second;
}

SimHal::State::Tap* SimHal::State::tap(AudioObjectID id) {
    auto it = taps.find(id);
    return it == taps.end() ? nullptr : &it->second;
}

bool SimHal::State::isStream(AudioObjectID id) const {
    for (const auto& [_, d] : devices) {
        for (const auto& s : d.inputs)
            if (s.id == id) return true;
        for (const auto& s : d.outputs)
            if (s.id == id) return true;
        for (auto s : d.tapStreams)
            if (s == id) return true;
    }
    return false;
}

bool SimHal::State::exists(AudioObjectID id) const {
    return id == kAudioObjectSystemObject || devices.count(id) || processes.count(id) ||
           taps.count(id) || isStream(id);
}

AudioObjectID SimHal::State::ownProcess() const {
    if (ownPid <= 0) return 0;
    for (const auto& [id, p] : processes)
        if (p.setup.pid == ownPid) return id;
    return 0;
}

AudioObjectID SimHal::State::target(const Process& p) const {
    if (p.setup.device && devices.count(p.setup.device)) return p.setup.device;
    return defaultOutput;
}

void SimHal::State::notify(AudioObjectID object, AudioObjectPropertySelector selector,
                           AudioObjectPropertyScope scope, AudioObjectPropertyElement element) {
    const AudioObjectPropertyAddress changed{selector, scope, element};
    for (const auto& [id, r] : registrations) {
        if (r.object != object) continue;
        const auto& a = r.address;
        if (a.mSelector != selector && a.mSelector != kAudioObjectPropertySelectorWildcard)
            continue;
        if (a.mScope != scope && a.mScope != kAudioObjectPropertyScopeWildcard) continue;
        if (a.mElement != element && a.mElement != elementWildcard) continue;
        const std::uint64_t registration = id;
        auto block = r.block;
        mainQueue.async([weak = self, registration, block, changed] {
            auto state = weak.lock();
            if (!state) return;
            {
                std::lock_guard lock(state->mutex);
                if (!state->registrations.count(registration)) return;
            }
            (*block)(1, &changed);
        });
    }
}

AudioObjectID SimHal::State::firstDeviceWith(bool output, AudioObjectID except) const {
    for (const auto& [id, d] : devices) {
        if (id == except || d.aggregate) continue;
        if (output ? !d.outputs.empty() : !d.inputs.empty()) return id;
    }
    return 0;
}

std::vector<std::uint32_t> SimHal::State::streamIDs(const Device& d,
                                                    AudioObjectPropertyScope scope) const {
    std::vector<std::uint32_t> ids;
    const bool in = scope != kAudioObjectPropertyScopeOutput;
    const bool out = scope != kAudioObjectPropertyScopeInput;
    if (in) {
        for (const auto& s : inputStreams(d))
            ids.push_back(s.id);
    }
    if (out) {
        for (const auto& s : outputStreams(d))
            ids.push_back(s.id);
    }
    return ids;
}

std::vector<SimHal::State::Stream> SimHal::State::inputStreams(const Device& d) const {
    if (!d.aggregate) return d.inputs;
    std::vector<Stream> streams;
    if (const Device* sub = device(d.subDevice)) streams = sub->inputs;
    for (auto s : d.tapStreams)
        streams.push_back({s, 2});
    return streams;
}

std::vector<SimHal::State::Stream> SimHal::State::outputStreams(const Device& d) const {
    if (!d.aggregate) return d.outputs;
    if (const Device* sub = device(d.subDevice)) return sub->outputs;
    return {};
}

void SimHal::State::prepareDevice(Device& d) {
    d.mix.assign(std::size_t(bufferFrames) * 2, 0.0f);
    d.recorded.assign(recordFrames * 2, 0.0f);
}

SimHal::State::IOProc* SimHal::State::findProc(Device& d, AudioDeviceIOProcID id) {
    for (auto& p : d.procs)
        if (p->id == id) return p.get();
    return nullptr;
}

bool SimHal::State::isStreamUsage(AudioObjectID object, const AudioObjectPropertyAddress& a) const {
    const Device* d = device(object);
    return d && a.mSelector == kAudioDevicePropertyIOProcStreamUsage &&
           (a.mScope == kAudioObjectPropertyScopeInput ||
            a.mScope == kAudioObjectPropertyScopeOutput) &&
           a.mElement == kAudioObjectPropertyElementMain;
}

std::uint32_t SimHal::State::streamCount(const Device& d, AudioObjectPropertyScope scope) const {
    return std::uint32_t(scope == kAudioObjectPropertyScopeInput ? inputStreams(d).size()
                                                                 : outputStreams(d).size());
}

void SimHal::State::setDefault(AudioObjectPropertySelector selector, AudioObjectID id) {
    AudioObjectID& slot = selector == kAudioHardwarePropertyDefaultOutputDevice ? defaultOutput
                          : selector == kAudioHardwarePropertyDefaultInputDevice
                              ? defaultInput
                              : defaultSystemOutput;
    if (slot == id) return;
    slot = id;
    notify(kAudioObjectSystemObject, selector);
}

} // namespace voxlane
