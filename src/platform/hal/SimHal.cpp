// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hal/SimHal.h"

#include "platform/hal/PropertyValue.h"
#include "platform/hal/sim/SimHalState.h"

#include <algorithm>

namespace voxlane {

SimHal::SimHal(Scheduler& mainQueue, double sampleRate, std::uint32_t bufferFrames)
    : s_(std::make_shared<State>(mainQueue, sampleRate, bufferFrames)) {
    s_->self = s_;
}

SimHal::~SimHal() = default;

// ---- the simulated world ----

AudioObjectID SimHal::addDevice(DeviceSetup setup) {
    std::lock_guard lock(s_->mutex);
    State::Device d;
    d.id = s_->nextObject++;
    for (auto c : setup.outputStreams)
        d.outputs.push_back({s_->nextObject++, c});
    for (auto c : setup.inputStreams)
        d.inputs.push_back({s_->nextObject++, c});
    for (auto e : setup.outputVolumeElements)
        d.outputElementVolume[e] = setup.volume;
    d.setup = std::move(setup);
    s_->prepareDevice(d);
    const AudioObjectID id = d.id;
    const bool output = !d.outputs.empty();
    const bool input = !d.inputs.empty();
    s_->devices.emplace(id, std::move(d));
    s_->notify(kAudioObjectSystemObject, kAudioHardwarePropertyDevices);
    if (output && !s_->defaultOutput) s_->setDefault(kAudioHardwarePropertyDefaultOutputDevice, id);
    if (output && !s_->defaultSystemOutput)
        s_->setDefault(kAudioHardwarePropertyDefaultSystemOutputDevice, id);
    if (input && !s_->defaultInput) s_->setDefault(kAudioHardwarePropertyDefaultInputDevice, id);
    return id;
}

void SimHal::removeDevice(AudioObjectID id) {
    std::lock_guard lock(s_->mutex);
    if (!s_->devices.erase(id)) return;
    for (auto& [_, d] : s_->devices)
        if (d.aggregate && d.subDevice == id) d.subDevice = kAudioObjectUnknown;
    s_->prepareAll();
    s_->notify(kAudioObjectSystemObject, kAudioHardwarePropertyDevices);
    if (s_->defaultOutput == id)
        s_->setDefault(kAudioHardwarePropertyDefaultOutputDevice, s_->firstDeviceWith(true, id));
    if (s_->defaultSystemOutput == id)
        s_->setDefault(kAudioHardwarePropertyDefaultSystemOutputDevice,
                       s_->firstDeviceWith(true, id));
    if (s_->defaultInput == id)
        s_->setDefault(kAudioHardwarePropertyDefaultInputDevice, s_->firstDeviceWith(false, id));
}

AudioObjectID SimHal::addProcess(ProcessSetup setup) {
    std::lock_guard lock(s_->mutex);
    State::Process p;
    p.id = s_->nextObject++;
    p.setup = std::move(setup);
    p.buffer.assign(std::size_t(s_->bufferFrames) * 2, 0.0f);
    const AudioObjectID id = p.id;
    s_->processes.emplace(id, std::move(p));
    s_->notify(kAudioObjectSystemObject, kAudioHardwarePropertyProcessObjectList);
    return id;
}

void SimHal::removeProcess(AudioObjectID id) {
    std::lock_guard lock(s_->mutex);
    if (s_->processes.erase(id))
        s_->notify(kAudioObjectSystemObject, kAudioHardwarePropertyProcessObjectList);
}

void SimHal::setProcessRunning(AudioObjectID id, bool output, bool input) {
    std::lock_guard lock(s_->mutex);
    State::Process* p = s_->process(id);
    if (!p) return;
    if (p->setup.runningOutput != output) {
        p->setup.runningOutput = output;
        s_->notify(id, kAudioProcessPropertyIsRunningOutput);
    }
    if (p->setup.runningInput != input) {
        p->setup.runningInput = input;
        s_->notify(id, kAudioProcessPropertyIsRunningInput);
    }
}

void SimHal::setProcessSignal(AudioObjectID id, Signal signal) {
    std::lock_guard lock(s_->mutex);
    if (State::Process* p = s_->process(id)) p->setup.signal = signal;
}

void SimHal::setProcessDevice(AudioObjectID id, AudioObjectID device) {
    std::lock_guard lock(s_->mutex);
    if (State::Process* p = s_->process(id)) p->setup.device = device;
}

void SimHal::setCaptureAllowed(bool allowed) {
    std::lock_guard lock(s_->mutex);
    s_->captureAllowed = allowed;
}

void SimHal::setTapsNonInterleaved(bool nonInterleaved) {
    std::lock_guard lock(s_->mutex);
    s_->tapsNonInterleaved = nonInterleaved;
}

void SimHal::setServerConnected(bool connected) {
    std::lock_guard lock(s_->mutex);
    if (s_->serverConnected == connected) return;
    s_->serverConnected = connected;
    s_->notify(kAudioObjectSystemObject, kAudioHardwarePropertyServerConnected);
}

void SimHal::setOwnPid(std::int32_t pid) {
    std::lock_guard lock(s_->mutex);
    s_->ownPid = pid;
}

// ---- the clock ----

void SimHal::advance(std::uint32_t frames) {
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

double SimHal::sampleRate() const {
    return s_->sampleRate;
}
std::uint32_t SimHal::bufferFrames() const {
    return s_->bufferFrames;
}

// ---- Hal ----

bool SimHal::hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) {
    std::lock_guard lock(s_->mutex);
    if (s_->fault(Operation::hasProperty, object, address.mSelector)) return false;
    if (s_->isStreamUsage(object, address)) return true;
    State::Value value;
    return s_->read(object, address, 0, nullptr, value) == 0;
}

OSStatus SimHal::isPropertySettable(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                    bool* outSettable) {
    std::lock_guard lock(s_->mutex);
    if (auto status = s_->fault(Operation::isPropertySettable, object, address.mSelector))
        return *status;
    if (!outSettable) return kAudio_ParamError;
    return s_->settable(object, address, *outSettable);
}

OSStatus SimHal::getPropertyDataSize(AudioObjectID object,
                                     const AudioObjectPropertyAddress& address,
                                     std::uint32_t qualifierSize, const void* qualifier,
                                     std::uint32_t* outSize) {
    std::lock_guard lock(s_->mutex);
    if (auto status = s_->fault(Operation::getPropertyDataSize, object, address.mSelector))
        return *status;
    if (!outSize) return kAudio_ParamError;
    if (s_->isStreamUsage(object, address)) {
        *outSize = std::uint32_t(
            ioProcStreamUsageSize(s_->streamCount(*s_->device(object), address.mScope)));
        return 0;
    }
    State::Value value;
    if (OSStatus status = s_->read(object, address, qualifierSize, qualifier, value)) return status;
    *outSize = propertyValueSize(value);
    return 0;
}

OSStatus SimHal::getPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                 std::uint32_t qualifierSize, const void* qualifier,
                                 std::uint32_t* ioSize, void* data) {
    std::lock_guard lock(s_->mutex);
    if (auto status = s_->fault(Operation::getPropertyData, object, address.mSelector))
        return *status;
    if (!ioSize || !data) return kAudio_ParamError;
    if (s_->isStreamUsage(object, address)) {
        State::Device& d = *s_->device(object);
        if (*ioSize < ioProcStreamUsageHeaderSize) return kAudioHardwareBadPropertySizeError;
        State::IOProc* proc = s_->findProc(d, streamUsageProc(data));
        if (!proc) return kAudioHardwareIllegalOperationError;
        const std::uint32_t streams = s_->streamCount(d, address.mScope);
        const std::uint32_t fit = std::min<std::uint32_t>(
            streams, std::uint32_t((*ioSize - ioProcStreamUsageHeaderSize) / 4));
        setStreamUsageHeader(data, proc->id, streams);
        for (std::uint32_t i = 0; i < fit; ++i) {
            const bool on =
                address.mScope == kAudioObjectPropertyScopeInput ? proc->usage[i] != 0 : true;
            setStreamUsageFlag(data, i, on ? 1 : 0);
        }
        *ioSize = std::uint32_t(ioProcStreamUsageSize(fit));
        return 0;
    }
    State::Value value;
    if (OSStatus status = s_->read(object, address, qualifierSize, qualifier, value)) return status;
    return copyPropertyValue(value, ioSize, data);
}

OSStatus SimHal::setPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                 std::uint32_t, const void*, std::uint32_t size, const void* data) {
    std::lock_guard lock(s_->mutex);
    if (auto status = s_->fault(Operation::setPropertyData, object, address.mSelector))
        return *status;
    return s_->write(object, address, size, data);
}

OSStatus SimHal::getPropertyString(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                   std::optional<std::string>* outValue) {
    std::lock_guard lock(s_->mutex);
    if (auto status = s_->fault(Operation::getPropertyData, object, address.mSelector))
        return *status;
    if (!outValue) return kAudio_ParamError;
    State::Value value;
    if (OSStatus status = s_->read(object, address, 0, nullptr, value)) return status;
    auto* text = std::get_if<std::optional<std::string>>(&value);
    if (!text) return kAudioHardwareBadPropertySizeError;
    *outValue = *text;
    return 0;
}

OSStatus SimHal::addPropertyListener(AudioObjectID object,
                                     const AudioObjectPropertyAddress& address,
                                     const AudioObjectPropertyListenerBlockRef& block) {
    std::lock_guard lock(s_->mutex);
    if (auto status = s_->fault(Operation::addPropertyListener, object, address.mSelector))
        return *status;
    if (!block || !*block) return kAudio_ParamError;
    if (!s_->exists(object)) return kAudioHardwareBadObjectError;
    const std::uint64_t id = s_->nextRegistration++;
    s_->registrations.emplace(id, State::Registration{id, object, address, block});
    return 0;
}

OSStatus SimHal::removePropertyListener(AudioObjectID object,
                                        const AudioObjectPropertyAddress& address,
                                        const AudioObjectPropertyListenerBlockRef& block) {
    std::lock_guard lock(s_->mutex);
    if (auto status = s_->fault(Operation::removePropertyListener, object, address.mSelector))
        return *status;
    for (auto it = s_->registrations.begin(); it != s_->registrations.end(); ++it) {
        const auto& r = it->second;
        if (r.object == object && r.address == address && r.block == block) {
            s_->registrations.erase(it);
            return 0;
        }
    }
    return kAudioHardwareIllegalOperationError;
}

} // namespace voxlane
