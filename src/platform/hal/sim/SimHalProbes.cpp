// SPDX-License-Identifier: GPL-3.0-or-later
// What the tests read of the simulated server, and the faults they make it answer with.
#include "platform/hal/sim/SimHalState.h"

#include <algorithm>

namespace voxlane {

std::optional<OSStatus> SimHal::State::fault(Operation op, AudioObjectID object,
                                             std::optional<AudioObjectPropertySelector> selector) {
    ++callCounts[std::size_t(op)];
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if (it->operation != Operation::any && it->operation != op) continue;
        if (it->object && *it->object != object) continue;
        if (it->selector && (!selector || *it->selector != *selector)) continue;
        if (it->skip > 0) {
            --it->skip;
            continue;
        }
        const OSStatus status = it->status;
        if (it->times > 0 && --it->times == 0) faults.erase(it);
        return status;
    }
    return std::nullopt;
}

// ---- what happened ----

float SimHal::peak(AudioObjectID id) const {
    std::lock_guard lock(s_->mutex);
    const State::Device* d = s_->device(id);
    return d ? d->peak : 0.0f;
}

std::vector<float> SimHal::lastSamples(AudioObjectID id) const {
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

float SimHal::processAudiblePeak(AudioObjectID id) const {
    std::lock_guard lock(s_->mutex);
    auto it = s_->processes.find(id);
    return it == s_->processes.end() ? 0.0f : it->second.audiblePeak;
}

bool SimHal::isMutedAtSource(AudioObjectID id) const {
    std::lock_guard lock(s_->mutex);
    auto it = s_->processes.find(id);
    return it != s_->processes.end() && it->second.muted;
}

std::vector<SimHal::PlayedSound> SimHal::playedSounds() const {
    std::lock_guard lock(s_->mutex);
    return s_->played;
}

std::optional<TapDescription> SimHal::tapDescription(AudioObjectID id) const {
    std::lock_guard lock(s_->mutex);
    auto it = s_->taps.find(id);
    if (it == s_->taps.end()) return std::nullopt;
    return it->second.description;
}

std::optional<AggregateDescription> SimHal::aggregateDescription(AudioObjectID id) const {
    std::lock_guard lock(s_->mutex);
    const State::Device* d = s_->device(id);
    if (!d || !d->aggregate) return std::nullopt;
    return d->description;
}

std::vector<std::uint32_t> SimHal::streamUsage(AudioObjectID id, AudioDeviceIOProcID proc) const {
    std::lock_guard lock(s_->mutex);
    State::Device* d = s_->device(id);
    if (!d) return {};
    State::IOProc* p = s_->findProc(*d, proc);
    return p ? p->usage : std::vector<std::uint32_t>{};
}

AudioObjectID SimHal::defaultDevice(AudioObjectPropertySelector which) const {
    std::lock_guard lock(s_->mutex);
    switch (which) {
    case kAudioHardwarePropertyDefaultOutputDevice:
        return s_->defaultOutput;
    case kAudioHardwarePropertyDefaultInputDevice:
        return s_->defaultInput;
    case kAudioHardwarePropertyDefaultSystemOutputDevice:
        return s_->defaultSystemOutput;
    default:
        return kAudioObjectUnknown;
    }
}

float SimHal::deviceVolume(AudioObjectID id) const {
    std::lock_guard lock(s_->mutex);
    const State::Device* d = s_->device(id);
    return d ? d->setup.volume : 0.0f;
}

bool SimHal::deviceMuted(AudioObjectID id, AudioObjectPropertyScope scope) const {
    std::lock_guard lock(s_->mutex);
    const State::Device* d = s_->device(id);
    if (!d) return false;
    return scope == kAudioObjectPropertyScopeInput ? d->setup.inputMuted : d->setup.outputMuted;
}

// ---- faults and counters ----

void SimHal::injectFault(Fault fault) {
    std::lock_guard lock(s_->mutex);
    s_->faults.push_back(fault);
}

void SimHal::clearFaults() {
    std::lock_guard lock(s_->mutex);
    s_->faults.clear();
}

std::size_t SimHal::calls(Operation operation) const {
    std::lock_guard lock(s_->mutex);
    return s_->callCounts[std::size_t(operation)];
}

std::size_t SimHal::liveTaps() const {
    std::lock_guard lock(s_->mutex);
    return s_->taps.size();
}

std::size_t SimHal::liveAggregateDevices() const {
    std::lock_guard lock(s_->mutex);
    return std::count_if(s_->devices.begin(), s_->devices.end(),
                         [](const auto& entry) { return entry.second.aggregate; });
}

std::size_t SimHal::liveIOProcs() const {
    std::lock_guard lock(s_->mutex);
    std::size_t count = 0;
    for (const auto& [_, d] : s_->devices)
        count += d.procs.size();
    return count;
}

std::size_t SimHal::runningIOProcs() const {
    std::lock_guard lock(s_->mutex);
    std::size_t count = 0;
    for (const auto& [_, d] : s_->devices)
        for (const auto& p : d.procs)
            count += p->running;
    return count;
}

std::size_t SimHal::liveListeners() const {
    std::lock_guard lock(s_->mutex);
    return s_->registrations.size();
}

} // namespace voxlane
