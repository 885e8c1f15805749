// SPDX-License-Identifier: GPL-3.0-or-later
// Process taps, aggregate devices, IO procedures and played sounds of the simulated server.
#include "platform/hal/sim/SimHalState.h"

#include <algorithm>

namespace voxlane {

OSStatus SimHal::createProcessTap(const TapDescription& description, AudioObjectID* outTap) {
    std::lock_guard lock(s_->mutex);
    if (auto status = s_->fault(Operation::createProcessTap, kAudioObjectUnknown, std::nullopt))
        return *status;
    if (!outTap) return kAudio_ParamError;
    if (!description.isExclusive) {
        for (auto process : description.processes)
            if (!s_->processes.count(process)) return kAudioHardwareBadObjectError;
    }
    for (const auto& [_, t] : s_->taps)
        if (!description.uuid.empty() && t.description.uuid == description.uuid)
            return kAudioHardwareIllegalOperationError;
    State::Tap t;
    t.id = s_->nextObject++;
    t.description = description;
    t.nonInterleaved = s_->tapsNonInterleaved;
    t.capture.assign(std::size_t(s_->bufferFrames) * 2, 0.0f);
    *outTap = t.id;
    s_->taps.emplace(t.id, std::move(t));
    return 0;
}

OSStatus SimHal::destroyProcessTap(AudioObjectID tapID) {
    std::lock_guard lock(s_->mutex);
    if (auto status = s_->fault(Operation::destroyProcessTap, tapID, std::nullopt)) return *status;
    if (!s_->taps.erase(tapID)) return kAudioHardwareBadObjectError;
    for (auto& [_, d] : s_->devices) {
        auto it = std::find(d.taps.begin(), d.taps.end(), tapID);
        if (it == d.taps.end()) continue;
        d.tapStreams.erase(d.tapStreams.begin() + (it - d.taps.begin()));
        d.taps.erase(it);
        for (auto& proc : d.procs)
            s_->prepare(d, *proc);
    }
    return 0;
}

OSStatus SimHal::createAggregateDevice(const AggregateDescription& description,
                                       AudioObjectID* outDevice) {
    std::lock_guard lock(s_->mutex);
    if (auto status =
            s_->fault(Operation::createAggregateDevice, kAudioObjectUnknown, std::nullopt))
        return *status;
    if (!outDevice) return kAudio_ParamError;
    for (const auto& [_, d] : s_->devices) {
        const std::string& uid = d.aggregate ? d.description.uid : d.setup.uid;
        if (uid == description.uid) return kAudioHardwareIllegalOperationError;
    }
    State::Device d;
    d.id = s_->nextObject++;
    d.aggregate = true;
    d.description = description;
    d.setup.name = description.name;
    d.setup.uid = description.uid;
    d.setup.hasVirtualMainVolume = false;
    d.setup.hasOutputMute = false;
    d.setup.hasInputMute = false;
    d.setup.hasInputVolume = false;
    // The first listed sub-device that exists carries the audio (the main one when listed).
    std::vector<std::string> candidates{description.mainSubDevice};
    for (const auto& sub : description.subDevices)
        candidates.push_back(sub.uid);
    for (const auto& uid : candidates) {
        for (const auto& [id, other] : s_->devices) {
            if (!other.aggregate && other.setup.uid == uid && !d.subDevice) d.subDevice = id;
        }
    }
    for (const auto& sub : description.taps) {
        for (const auto& [id, t] : s_->taps) {
            if (t.description.uuid == sub.uid) {
                d.taps.push_back(id);
                d.tapStreams.push_back(s_->nextObject++);
            }
        }
    }
    s_->prepareDevice(d);
    *outDevice = d.id;
    s_->devices.emplace(d.id, std::move(d));
    s_->notify(kAudioObjectSystemObject, kAudioHardwarePropertyDevices);
    return 0;
}

OSStatus SimHal::destroyAggregateDevice(AudioObjectID id) {
    std::lock_guard lock(s_->mutex);
    if (auto status = s_->fault(Operation::destroyAggregateDevice, id, std::nullopt))
        return *status;
    State::Device* d = s_->device(id);
    if (!d || !d->aggregate) return kAudioHardwareBadDeviceError;
    s_->devices.erase(id); // its IO procedures go with it
    s_->notify(kAudioObjectSystemObject, kAudioHardwarePropertyDevices);
    return 0;
}

OSStatus SimHal::createIOProcID(AudioObjectID id, AudioDeviceIOBlock block,
                                AudioDeviceIOProcID* outProc) {
    std::lock_guard lock(s_->mutex);
    if (auto status = s_->fault(Operation::createIOProcID, id, std::nullopt)) return *status;
    if (!outProc || !block) return kAudio_ParamError;
    State::Device* d = s_->device(id);
    if (!d) return kAudioHardwareBadDeviceError;
    auto proc = std::make_unique<State::IOProc>();
    proc->id = s_->nextProc++;
    proc->block = std::move(block);
    s_->prepare(*d, *proc);
    *outProc = proc->id;
    d->procs.push_back(std::move(proc));
    return 0;
}

OSStatus SimHal::destroyIOProcID(AudioObjectID id, AudioDeviceIOProcID procID) {
    std::lock_guard lock(s_->mutex);
    if (auto status = s_->fault(Operation::destroyIOProcID, id, std::nullopt)) return *status;
    State::Device* d = s_->device(id);
    if (!d) return kAudioHardwareBadDeviceError;
    auto it = std::find_if(d->procs.begin(), d->procs.end(),
                           [&](const auto& p) { return p->id == procID; });
    if (it == d->procs.end()) return kAudioHardwareIllegalOperationError;
    d->procs.erase(it);
    return 0;
}

OSStatus SimHal::deviceStart(AudioObjectID id, AudioDeviceIOProcID procID) {
    std::lock_guard lock(s_->mutex);
    if (auto status = s_->fault(Operation::deviceStart, id, std::nullopt)) return *status;
    State::Device* d = s_->device(id);
    if (!d) return kAudioHardwareBadDeviceError;
    State::IOProc* proc = s_->findProc(*d, procID);
    if (!proc) return kAudioHardwareIllegalOperationError;
    proc->running = true;
    return 0;
}

OSStatus SimHal::deviceStop(AudioObjectID id, AudioDeviceIOProcID procID) {
    std::lock_guard lock(s_->mutex);
    if (auto status = s_->fault(Operation::deviceStop, id, std::nullopt)) return *status;
    State::Device* d = s_->device(id);
    if (!d) return kAudioHardwareBadDeviceError;
    State::IOProc* proc = s_->findProc(*d, procID);
    if (!proc) return kAudioHardwareIllegalOperationError;
    proc->running = false;
    return 0;
}

OSStatus SimHal::playSound(const std::string& name,
                           std::shared_ptr<const std::vector<float>> samples, float volume) {
    std::lock_guard lock(s_->mutex);
    if (auto status = s_->fault(Operation::playSound, s_->defaultOutput, std::nullopt))
        return *status;
    if (!samples) return kAudio_ParamError;
    if (!s_->device(s_->defaultOutput)) return kAudioHardwareBadDeviceError;
    s_->played.push_back({name, volume, s_->defaultOutput});
    s_->sounds.push_back({name, std::move(samples), volume, s_->defaultOutput, 0});
    return 0;
}

} // namespace voxlane