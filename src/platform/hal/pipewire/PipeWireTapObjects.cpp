// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hal/pipewire/PipeWireTapObjects.h"

#include <algorithm>
#include <cstring>

namespace voxlane {

namespace {

bool isMain(const AudioObjectPropertyAddress& a) {
    return a.mElement == kAudioObjectPropertyElementMain;
}

AudioStreamBasicDescription tapFormat(double rate) {
    AudioStreamBasicDescription f;
    f.mSampleRate = rate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;
    f.mBytesPerPacket = 8;
    f.mFramesPerPacket = 1;
    f.mBytesPerFrame = 8;
    f.mChannelsPerFrame = 2;
    f.mBitsPerChannel = 32;
    return f;
}

template <typename T>
OSStatus copyOut(const T& value, std::uint32_t* ioSize, void* data) {
    if (*ioSize < sizeof(T)) return kAudioHardwareBadPropertySizeError;
    std::memcpy(data, &value, sizeof(T));
    *ioSize = sizeof(T);
    return 0;
}

} // namespace

bool PipeWireTapObjects::owns(AudioObjectID object) const {
    return taps.count(object) || aggregates.count(object);
}

PipeWireTapObjects::Aggregate* PipeWireTapObjects::aggregate(AudioObjectID id) {
    auto it = aggregates.find(id);
    return it == aggregates.end() ? nullptr : &it->second;
}

PipeWireTapObjects::Proc* PipeWireTapObjects::proc(AudioObjectID id, AudioDeviceIOProcID procID) {
    Aggregate* a = aggregate(id);
    if (!a) return nullptr;
    for (auto& p : a->procs)
        if (p.id == procID) return &p;
    return nullptr;
}

std::vector<std::uint64_t> PipeWireTapObjects::removeTap(AudioObjectID tap) {
    std::vector<std::uint64_t> runs;
    taps.erase(tap);
    for (auto& [_, a] : aggregates) {
        auto it = std::find(a.taps.begin(), a.taps.end(), tap);
        if (it == a.taps.end()) continue;
        const auto index = std::size_t(a.deviceInputs + (it - a.taps.begin()));
        a.taps.erase(it);
        for (auto& p : a.procs) {
            if (index < p.usage.size()) p.usage.erase(p.usage.begin() + std::ptrdiff_t(index));
            if (p.run) runs.push_back(p.run);
        }
    }
    return runs;
}

bool PipeWireTapObjects::isStreamUsage(AudioObjectID object,
                                       const AudioObjectPropertyAddress& a) const {
    return aggregates.count(object) && a.mSelector == kAudioDevicePropertyIOProcStreamUsage &&
           (a.mScope == kAudioObjectPropertyScopeInput ||
            a.mScope == kAudioObjectPropertyScopeOutput) &&
           isMain(a);
}

bool PipeWireTapObjects::hasProperty(AudioObjectID object,
                                     const AudioObjectPropertyAddress& address) const {
    std::uint32_t size = 0;
    return getPropertyDataSize(object, address, &size) == 0;
}

OSStatus PipeWireTapObjects::isPropertySettable(AudioObjectID object,
                                                const AudioObjectPropertyAddress& address,
                                                bool* out) const {
    std::uint32_t size = 0;
    if (OSStatus status = getPropertyDataSize(object, address, &size)) return status;
    *out = isStreamUsage(object, address);
    return 0;
}

OSStatus PipeWireTapObjects::getPropertyDataSize(AudioObjectID object,
                                                 const AudioObjectPropertyAddress& a,
                                                 std::uint32_t* outSize) const {
    if (auto t = taps.find(object); t != taps.end()) {
        if (!isMain(a)) return kAudioHardwareUnknownPropertyError;
        switch (a.mSelector) {
        case kAudioTapPropertyUID:
        case kAudioObjectPropertyName:
            *outSize = 8;
            return 0;
        case kAudioTapPropertyFormat:
            *outSize = sizeof(AudioStreamBasicDescription);
            return 0;
        default:
            return kAudioHardwareUnknownPropertyError;
        }
    }
    auto it = aggregates.find(object);
    if (it == aggregates.end()) return kAudioHardwareBadObjectError;
    const Aggregate& agg = it->second;
    if (isStreamUsage(object, a)) {
        const std::uint32_t streams =
            a.mScope == kAudioObjectPropertyScopeInput ? inputStreams(agg) : agg.deviceOutputs;
        *outSize = std::uint32_t(ioProcStreamUsageSize(streams));
        return 0;
    }
    if (!isMain(a)) return kAudioHardwareUnknownPropertyError;
    switch (a.mSelector) {
    case kAudioDevicePropertyDeviceUID:
    case kAudioObjectPropertyName:
        *outSize = 8;
        return 0;
    case kAudioDevicePropertyTransportType:
        *outSize = 4;
        return 0;
    case kAudioDevicePropertyNominalSampleRate:
        *outSize = 8;
        return 0;
    default:
        return kAudioHardwareUnknownPropertyError;
    }
}

OSStatus PipeWireTapObjects::getPropertyData(AudioObjectID object,
                                             const AudioObjectPropertyAddress& a,
                                             std::uint32_t* ioSize, void* data) const {
    std::uint32_t size = 0;
    if (OSStatus status = getPropertyDataSize(object, a, &size)) return status;
    if (a.mSelector == kAudioTapPropertyUID || a.mSelector == kAudioObjectPropertyName ||
        a.mSelector == kAudioDevicePropertyDeviceUID)
        return kAudioHardwareUnsupportedOperationError; // strings are read with getPropertyString
    if (auto t = taps.find(object); t != taps.end())
        return copyOut(tapFormat(t->second.rate), ioSize, data);
    const Aggregate& agg = aggregates.at(object);
    if (isStreamUsage(object, a)) {
        if (*ioSize < ioProcStreamUsageHeaderSize) return kAudioHardwareBadPropertySizeError;
        const Proc* p = nullptr;
        for (const auto& candidate : agg.procs)
            if (candidate.id == streamUsageProc(data)) p = &candidate;
        if (!p) return kAudioHardwareIllegalOperationError;
        const bool input = a.mScope == kAudioObjectPropertyScopeInput;
        const std::uint32_t streams = input ? inputStreams(agg) : agg.deviceOutputs;
        const std::uint32_t fit = std::min<std::uint32_t>(
            streams, std::uint32_t((*ioSize - ioProcStreamUsageHeaderSize) / 4));
        setStreamUsageHeader(data, p->id, streams);
        for (std::uint32_t i = 0; i < fit; ++i)
            setStreamUsageFlag(data, i, !input || (i < p->usage.size() && p->usage[i]) ? 1 : 0);
        *ioSize = std::uint32_t(ioProcStreamUsageSize(fit));
        return 0;
    }
    switch (a.mSelector) {
    case kAudioDevicePropertyTransportType:
        return copyOut(Transport::aggregate, ioSize, data);
    case kAudioDevicePropertyNominalSampleRate:
        return copyOut(agg.rate, ioSize, data);
    default:
        return kAudioHardwareUnknownPropertyError;
    }
}

OSStatus PipeWireTapObjects::setPropertyData(AudioObjectID object,
                                             const AudioObjectPropertyAddress& a,
                                             std::uint32_t size, const void* data) {
    if (!owns(object)) return kAudioHardwareBadObjectError;
    if (!isStreamUsage(object, a)) {
        std::uint32_t ignored = 0;
        if (OSStatus status = getPropertyDataSize(object, a, &ignored)) return status;
        return kAudioHardwareIllegalOperationError;
    }
    if (size < ioProcStreamUsageHeaderSize || !data) return kAudioHardwareBadPropertySizeError;
    Proc* p = proc(object, streamUsageProc(data));
    if (!p) return kAudioHardwareIllegalOperationError;
    if (a.mScope != kAudioObjectPropertyScopeInput) return 0; // outputs stay on
    const std::uint32_t n =
        std::min<std::uint32_t>({streamUsageCount(data), std::uint32_t(p->usage.size()),
                                 std::uint32_t((size - ioProcStreamUsageHeaderSize) / 4)});
    for (std::uint32_t i = 0; i < n; ++i)
        p->usage[i] = streamUsageFlag(data, i) != 0;
    return 0;
}

OSStatus PipeWireTapObjects::getPropertyString(AudioObjectID object,
                                               const AudioObjectPropertyAddress& a,
                                               std::optional<std::string>* out) const {
    std::uint32_t size = 0;
    if (OSStatus status = getPropertyDataSize(object, a, &size)) return status;
    if (auto t = taps.find(object); t != taps.end()) {
        *out = a.mSelector == kAudioTapPropertyUID ? t->second.description.uuid
                                                   : t->second.description.name;
        return 0;
    }
    const Aggregate& agg = aggregates.at(object);
    if (a.mSelector == kAudioDevicePropertyDeviceUID) {
        *out = agg.description.uid;
        return 0;
    }
    if (a.mSelector == kAudioObjectPropertyName) {
        *out = agg.description.name;
        return 0;
    }
    return kAudioHardwareBadPropertySizeError;
}

} // namespace voxlane
