// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hal/PropertyValue.h"
#include "platform/hal/sim/SimHalState.h"

#include <algorithm>
#include <cstring>

namespace voxlane {

namespace {

bool globalSelector(AudioObjectPropertySelector selector) {
    switch (selector) {
    case kAudioDevicePropertyStreams:
    case kAudioHardwareServiceDeviceProperty_VirtualMainVolume:
    case kAudioDevicePropertyVolumeScalar:
    case kAudioDevicePropertyMute:
    case kAudioDevicePropertyIOProcStreamUsage:
        return false;
    default:
        return true;
    }
}

} // namespace

// Each kind of object answers from a table of the properties it has, by selector. An answer is
// a status: 0 with `out` set, or why the property is not there in this scope or element.
namespace {

template <typename Answer>
struct Entry {
    AudioObjectPropertySelector selector;
    Answer answer;
};

template <typename Answer, std::size_t n>
Answer find(const Entry<Answer> (&table)[n], AudioObjectPropertySelector selector) {
    for (const auto& entry : table)
        if (entry.selector == selector) return entry.answer;
    return nullptr;
}

constexpr OSStatus unknown = kAudioHardwareUnknownPropertyError;

std::vector<std::uint32_t> keys(const auto& map) {
    std::vector<std::uint32_t> ids;
    for (const auto& [id, _] : map)
        ids.push_back(id);
    return ids;
}

} // namespace

OSStatus SimHal::State::read(AudioObjectID object, const AudioObjectPropertyAddress& a,
                             std::uint32_t qualifierSize, const void* qualifier, Value& out) const {
    const bool mainElement = a.mElement == kAudioObjectPropertyElementMain;
    if (object == kAudioObjectSystemObject)
        return mainElement ? readSystem(a.mSelector, qualifierSize, qualifier, out) : unknown;
    if (const Device* d = device(object)) {
        if (globalSelector(a.mSelector) && !mainElement) return unknown;
        return readDevice(*d, a, out);
    }
    if (auto it = processes.find(object); it != processes.end())
        return mainElement ? readProcess(it->second, a.mSelector, out) : unknown;
    if (auto it = taps.find(object); it != taps.end())
        return mainElement ? readTap(it->second, a.mSelector, out) : unknown;
    return isStream(object) ? unknown : kAudioHardwareBadObjectError;
}

OSStatus SimHal::State::readSystem(AudioObjectPropertySelector selector,
                                   std::uint32_t qualifierSize, const void* qualifier,
                                   Value& out) const {
    using Answer = OSStatus (*)(const State&, std::uint32_t, const void*, Value&);
    static const Entry<Answer> table[] = {
        {kAudioHardwarePropertyDevices,
         [](const State& s, std::uint32_t, const void*, Value& out) -> OSStatus {
             out = keys(s.devices);
             return 0;
         }},
        {kAudioHardwarePropertyProcessObjectList,
         [](const State& s, std::uint32_t, const void*, Value& out) -> OSStatus {
             out = keys(s.processes);
             return 0;
         }},
        {kAudioHardwarePropertyDefaultOutputDevice,
         [](const State& s, std::uint32_t, const void*, Value& out) -> OSStatus {
             out = s.defaultOutput;
             return 0;
         }},
        {kAudioHardwarePropertyDefaultInputDevice,
         [](const State& s, std::uint32_t, const void*, Value& out) -> OSStatus {
             out = s.defaultInput;
             return 0;
         }},
        {kAudioHardwarePropertyDefaultSystemOutputDevice,
         [](const State& s, std::uint32_t, const void*, Value& out) -> OSStatus {
             out = s.defaultSystemOutput;
             return 0;
         }},
        {kAudioHardwarePropertyServerConnected,
         [](const State& s, std::uint32_t, const void*, Value& out) -> OSStatus {
             out = std::uint32_t(s.serverConnected ? 1 : 0);
             return 0;
         }},
        {kAudioHardwarePropertyTranslatePIDToProcessObject,
         [](const State& s, std::uint32_t size, const void* qualifier, Value& out) -> OSStatus {
             if (size != sizeof(std::int32_t) || !qualifier)
                 return kAudioHardwareBadPropertySizeError;
             std::int32_t pid;
             std::memcpy(&pid, qualifier, sizeof pid);
             std::uint32_t found = kAudioObjectUnknown;
             for (const auto& [id, p] : s.processes)
                 if (p.setup.pid == pid) found = id;
             out = found;
             return 0;
         }},
    };
    const Answer answer = find(table, selector);
    return answer ? answer(*this, qualifierSize, qualifier, out) : unknown;
}

OSStatus SimHal::State::readDevice(const Device& d, const AudioObjectPropertyAddress& a,
                                   Value& out) const {
    using Answer =
        OSStatus (*)(const State&, const Device&, const AudioObjectPropertyAddress&, Value&);
    static const Entry<Answer> table[] = {
        {kAudioDevicePropertyDeviceUID,
         [](const State&, const Device& d, const AudioObjectPropertyAddress&,
            Value& out) -> OSStatus {
             out = std::optional<std::string>(d.aggregate ? d.description.uid : d.setup.uid);
             return 0;
         }},
        {kAudioObjectPropertyName,
         [](const State&, const Device& d, const AudioObjectPropertyAddress&,
            Value& out) -> OSStatus {
             out = std::optional<std::string>(d.aggregate ? d.description.name : d.setup.name);
             return 0;
         }},
        {kAudioDevicePropertyTransportType,
         [](const State&, const Device& d, const AudioObjectPropertyAddress&,
            Value& out) -> OSStatus {
             out = std::uint32_t(d.aggregate ? Transport::aggregate : d.setup.transport);
             return 0;
         }},
        {kAudioDevicePropertyNominalSampleRate,
         [](const State& s, const Device& d, const AudioObjectPropertyAddress&,
            Value& out) -> OSStatus {
             const Device* sub = d.aggregate ? s.device(d.subDevice) : &d;
             out = sub ? sub->setup.nominalSampleRate : s.sampleRate;
             return 0;
         }},
        {kAudioDevicePropertyStreams,
         [](const State& s, const Device& d, const AudioObjectPropertyAddress& a,
            Value& out) -> OSStatus {
             if (a.mElement != kAudioObjectPropertyElementMain) return unknown;
             out = s.streamIDs(d, a.mScope);
             return 0;
         }},
        {kAudioHardwareServiceDeviceProperty_VirtualMainVolume,
         [](const State&, const Device& d, const AudioObjectPropertyAddress& a,
            Value& out) -> OSStatus {
             if (d.aggregate || a.mScope != kAudioObjectPropertyScopeOutput ||
                 a.mElement != kAudioObjectPropertyElementMain || !d.setup.hasVirtualMainVolume ||
                 d.outputs.empty())
                 return unknown;
             out = d.setup.volume;
             return 0;
         }},
        {kAudioDevicePropertyVolumeScalar, &State::readVolume},
        {kAudioDevicePropertyMute, &State::readMute},
    };
    const Answer answer = find(table, a.mSelector);
    return answer ? answer(*this, d, a, out) : unknown;
}

OSStatus SimHal::State::readVolume(const State&, const Device& d,
                                   const AudioObjectPropertyAddress& a, Value& out) {
    if (d.aggregate) return unknown;
    if (a.mScope == kAudioObjectPropertyScopeOutput) {
        auto it = d.outputElementVolume.find(a.mElement);
        if (it == d.outputElementVolume.end() || d.outputs.empty()) return unknown;
        out = it->second;
        return 0;
    }
    if (a.mScope == kAudioObjectPropertyScopeInput &&
        a.mElement == kAudioObjectPropertyElementMain && d.setup.hasInputVolume &&
        !d.inputs.empty()) {
        out = d.setup.inputVolume;
        return 0;
    }
    return unknown;
}

OSStatus SimHal::State::readMute(const State&, const Device& d, const AudioObjectPropertyAddress& a,
                                 Value& out) {
    if (d.aggregate || a.mElement != kAudioObjectPropertyElementMain) return unknown;
    if (a.mScope == kAudioObjectPropertyScopeOutput && d.setup.hasOutputMute &&
        !d.outputs.empty()) {
        out = std::uint32_t(d.setup.outputMuted);
        return 0;
    }
    if (a.mScope == kAudioObjectPropertyScopeInput && d.setup.hasInputMute && !d.inputs.empty()) {
        out = std::uint32_t(d.setup.inputMuted);
        return 0;
    }
    return unknown;
}

OSStatus SimHal::State::readProcess(const Process& p, AudioObjectPropertySelector selector,
                                    Value& out) {
    using Answer = Value (*)(const Process&);
    static const Entry<Answer> table[] = {
        {kAudioProcessPropertyPID, [](const Process& p) -> Value { return p.setup.pid; }},
        {kAudioProcessPropertyBundleID, [](const Process& p) -> Value { return p.setup.bundleID; }},
        {kAudioProcessPropertyIsRunningOutput,
         [](const Process& p) -> Value { return std::uint32_t(p.setup.runningOutput); }},
        {kAudioProcessPropertyIsRunningInput,
         [](const Process& p) -> Value { return std::uint32_t(p.setup.runningInput); }},
    };
    const Answer answer = find(table, selector);
    if (!answer) return unknown;
    out = answer(p);
    return 0;
}

OSStatus SimHal::State::readTap(const Tap& t, AudioObjectPropertySelector selector,
                                Value& out) const {
    switch (selector) {
    case kAudioTapPropertyUID:
        out = std::optional<std::string>(t.description.uuid);
        return 0;
    case kAudioObjectPropertyName:
        out = std::optional<std::string>(t.description.name);
        return 0;
    case kAudioTapPropertyFormat: {
        AudioStreamBasicDescription f;
        f.mSampleRate = sampleRate;
        f.mFormatID = kAudioFormatLinearPCM;
        f.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked |
                         (t.nonInterleaved ? kAudioFormatFlagIsNonInterleaved : 0);
        f.mChannelsPerFrame = 2;
        f.mBitsPerChannel = 32;
        f.mFramesPerPacket = 1;
        f.mBytesPerFrame = t.nonInterleaved ? 4 : 8;
        f.mBytesPerPacket = f.mBytesPerFrame;
        out = f;
        return 0;
    }
    default:
        return unknown;
    }
}

OSStatus SimHal::State::settable(AudioObjectID object, const AudioObjectPropertyAddress& a,
                                 bool& out) const {
    if (isStreamUsage(object, a)) {
        out = true;
        return 0;
    }
    Value value;
    if (OSStatus status = read(object, a, 0, nullptr, value)) return status;
    out = false;
    if (object == kAudioObjectSystemObject) {
        out = a.mSelector == kAudioHardwarePropertyDefaultOutputDevice ||
              a.mSelector == kAudioHardwarePropertyDefaultInputDevice ||
              a.mSelector == kAudioHardwarePropertyDefaultSystemOutputDevice;
    } else if (const Device* d = device(object)) {
        const bool output = a.mScope == kAudioObjectPropertyScopeOutput;
        switch (a.mSelector) {
        case kAudioHardwareServiceDeviceProperty_VirtualMainVolume:
            out = d->setup.virtualMainVolumeSettable;
            break;
        case kAudioDevicePropertyVolumeScalar:
            out = output ? d->setup.outputVolumeSettable : d->setup.inputVolumeSettable;
            break;
        case kAudioDevicePropertyMute:
            out = output ? d->setup.outputMuteSettable : d->setup.inputMuteSettable;
            break;
        default:
            break;
        }
    }
    return 0;
}

void SimHal::State::setOutputVolume(Device& d, float volume) {
    volume = std::clamp(volume, 0.0f, 1.0f);
    if (d.setup.volume != volume) {
        d.setup.volume = volume;
        notify(d.id, kAudioHardwareServiceDeviceProperty_VirtualMainVolume,
               kAudioObjectPropertyScopeOutput);
    }
    for (auto& [element, value] : d.outputElementVolume) {
        if (value == volume) continue;
        value = volume;
        notify(d.id, kAudioDevicePropertyVolumeScalar, kAudioObjectPropertyScopeOutput, element);
    }
}

OSStatus SimHal::State::write(AudioObjectID object, const AudioObjectPropertyAddress& a,
                              std::uint32_t size, const void* data) {
    if (isStreamUsage(object, a)) {
        Device& d = *device(object);
        if (size < ioProcStreamUsageHeaderSize || !data) return kAudioHardwareBadPropertySizeError;
        IOProc* proc = findProc(d, streamUsageProc(data));
        if (!proc) return kAudioHardwareIllegalOperationError;
        if (a.mScope != kAudioObjectPropertyScopeInput) return 0; // outputs stay on
        const std::uint32_t n =
            std::min<std::uint32_t>({streamUsageCount(data), std::uint32_t(proc->usage.size()),
                                     std::uint32_t((size - ioProcStreamUsageHeaderSize) / 4)});
        for (std::uint32_t i = 0; i < n; ++i)
            proc->usage[i] = streamUsageFlag(data, i) != 0;
        return 0;
    }
    bool canSet = false;
    if (OSStatus status = settable(object, a, canSet)) return status;
    if (!canSet) return kAudioHardwareIllegalOperationError;
    Value current;
    read(object, a, 0, nullptr, current);
    if (size != propertyValueSize(current) || !data) return kAudioHardwareBadPropertySizeError;

    if (object == kAudioObjectSystemObject) {
        std::uint32_t id;
        std::memcpy(&id, data, 4);
        const Device* d = device(id);
        const bool wantsInput = a.mSelector == kAudioHardwarePropertyDefaultInputDevice;
        if (!d || (wantsInput ? inputStreams(*d).empty() : outputStreams(*d).empty()))
            return kAudioHardwareBadDeviceError;
        setDefault(a.mSelector, id);
        return 0;
    }
    Device& d = *device(object);
    const bool output = a.mScope == kAudioObjectPropertyScopeOutput;
    switch (a.mSelector) {
    case kAudioHardwareServiceDeviceProperty_VirtualMainVolume: {
        float v;
        std::memcpy(&v, data, 4);
        setOutputVolume(d, v);
        return 0;
    }
    case kAudioDevicePropertyVolumeScalar: {
        float v;
        std::memcpy(&v, data, 4);
        v = std::clamp(v, 0.0f, 1.0f);
        float& slot = output ? d.outputElementVolume[a.mElement] : d.setup.inputVolume;
        if (slot != v) {
            slot = v;
            notify(d.id, a.mSelector, a.mScope, a.mElement);
        }
        return 0;
    }
    case kAudioDevicePropertyMute: {
        std::uint32_t v;
        std::memcpy(&v, data, 4);
        bool& slot = output ? d.setup.outputMuted : d.setup.inputMuted;
        if (slot != (v != 0)) {
            slot = v != 0;
            notify(d.id, a.mSelector, a.mScope, a.mElement);
        }
        return 0;
    }
    default:
        return kAudioHardwareIllegalOperationError;
    }
}

} // namespace voxlane
