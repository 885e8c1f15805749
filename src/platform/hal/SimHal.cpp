// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hal/SimHal.h"

#include "platform/hal/PropertyValue.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <numbers>
#include <variant>

namespace voxlane {

namespace {

constexpr std::size_t recordFrames = 16384;
constexpr AudioObjectPropertyElement elementWildcard = 0xFFFFFFFFu;

using Value = std::variant<std::uint32_t, std::int32_t, float, double, std::vector<std::uint32_t>,
                           std::optional<std::string>, AudioStreamBasicDescription>;

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

struct SimHal::State {
    struct Stream {
        AudioObjectID id = 0;
        std::uint32_t channels = 0;
    };

    enum class SlotKind { deviceInput, tapStereo, tapLeft, tapRight };
    struct BufferSlot {
        std::uint32_t stream = 0; // input stream index (for the on/off flags)
        SlotKind kind = SlotKind::deviceInput;
        AudioObjectID tap = 0;
        std::size_t offset = 0; // in floats, into the storage
        std::uint32_t channels = 0;
    };

    struct IOProc {
        AudioDeviceIOProcID id = 0;
        AudioDeviceIOBlock block;
        bool running = false;
        std::vector<std::uint32_t> usage; // one flag per input stream
        std::vector<BufferSlot> inSlots;
        std::vector<float> inStorage;
        std::vector<AudioBuffer> inBuffers;
        std::vector<std::uint32_t> outChannels;
        std::vector<float> outStorage;
        std::vector<AudioBuffer> outBuffers;
    };

    struct Device {
        AudioObjectID id = 0;
        DeviceSetup setup;
        std::vector<Stream> inputs;
        std::vector<Stream> outputs;
        std::map<AudioObjectPropertyElement, float> outputElementVolume;
        bool aggregate = false;
        AggregateDeviceDescription description;
        AudioObjectID subDevice = kAudioObjectUnknown;
        std::vector<AudioObjectID> taps;
        std::vector<AudioObjectID> tapStreams;
        std::vector<std::unique_ptr<IOProc>> procs;
        std::vector<float> mix;
        float peak = 0;
        std::vector<float> recorded;
        std::size_t recordPos = 0;
        std::size_t recordCount = 0;
    };

    struct Process {
        AudioObjectID id = 0;
        ProcessSetup setup;
        double phase = 0;
        std::vector<float> buffer;
        float audiblePeak = 0;
        bool muted = false;
    };

    struct Tap {
        AudioObjectID id = 0;
        TapDescription description;
        bool nonInterleaved = false;
        std::vector<float> capture;
        bool read = false;
    };

    struct Sound {
        std::string name;
        std::shared_ptr<const std::vector<float>> samples;
        float volume = 0;
        AudioObjectID device = 0;
        std::size_t position = 0;
    };

    struct Registration {
        std::uint64_t id = 0;
        AudioObjectID object = 0;
        AudioObjectPropertyAddress address;
        AudioObjectPropertyListenerBlockRef block;
    };

    State(Scheduler& queue, double rate, std::uint32_t frames)
        : mainQueue(queue), sampleRate(rate), bufferFrames(std::max<std::uint32_t>(1, frames)) {
        scratch.resize(std::size_t(bufferFrames) * 2);
    }

    Scheduler& mainQueue;
    std::weak_ptr<State> self; // notifications posted to the main queue hold the state weakly
    const double sampleRate;
    const std::uint32_t bufferFrames;
    mutable std::recursive_mutex mutex;

    AudioObjectID nextObject = 2;
    AudioDeviceIOProcID nextProc = 1;
    std::uint64_t nextRegistration = 1;
    std::map<AudioObjectID, Device> devices;
    std::map<AudioObjectID, Process> processes;
    std::map<AudioObjectID, Tap> taps;
    std::vector<Sound> sounds;
    std::vector<PlayedSound> played;
    std::map<std::uint64_t, Registration> registrations;
    AudioObjectID defaultOutput = 0;
    AudioObjectID defaultInput = 0;
    AudioObjectID defaultSystemOutput = 0;
    bool serverConnected = true;
    bool captureAllowed = true;
    bool tapsNonInterleaved = false;
    std::int32_t ownPid = 0;
    std::vector<Fault> faults;
    std::array<std::size_t, std::size_t(Operation::count_)> callCounts{};
    std::vector<float> scratch;

    // ---- helpers ----

    std::optional<OSStatus> fault(Operation op, AudioObjectID object,
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

    Device* device(AudioObjectID id) {
        auto it = devices.find(id);
        return it == devices.end() ? nullptr : &it->second;
    }
    const Device* device(AudioObjectID id) const {
        auto it = devices.find(id);
        return it == devices.end() ? nullptr : &it->second;
    }
    Process* process(AudioObjectID id) {
        auto it = processes.find(id);
        return it == processes.end() ? nullptr : &it->second;
    }
    Tap* tap(AudioObjectID id) {
        auto it = taps.find(id);
        return it == taps.end() ? nullptr : &it->second;
    }
    bool isStream(AudioObjectID id) const {
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
    bool exists(AudioObjectID id) const {
        return id == kAudioObjectSystemObject || devices.count(id) || processes.count(id) ||
               taps.count(id) || isStream(id);
    }

    AudioObjectID ownProcess() const {
        if (ownPid <= 0) return 0;
        for (const auto& [id, p] : processes)
            if (p.setup.pid == ownPid) return id;
        return 0;
    }

    // The device a process plays to now.
    AudioObjectID target(const Process& p) const {
        if (p.setup.device && devices.count(p.setup.device)) return p.setup.device;
        return defaultOutput;
    }

    void notify(AudioObjectID object, AudioObjectPropertySelector selector,
                AudioObjectPropertyScope scope = kAudioObjectPropertyScopeGlobal,
                AudioObjectPropertyElement element = kAudioObjectPropertyElementMain) {
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

    AudioObjectID firstDeviceWith(bool output, AudioObjectID except) const {
        for (const auto& [id, d] : devices) {
            if (id == except || d.aggregate) continue;
            if (output ? !d.outputs.empty() : !d.inputs.empty()) return id;
        }
        return 0;
    }

    std::vector<std::uint32_t> streamIDs(const Device& d, AudioObjectPropertyScope scope) const {
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

    // An aggregate device's input streams: its sub-device's, then one per tap.
    std::vector<Stream> inputStreams(const Device& d) const {
        if (!d.aggregate) return d.inputs;
        std::vector<Stream> streams;
        if (const Device* sub = device(d.subDevice)) streams = sub->inputs;
        for (auto s : d.tapStreams)
            streams.push_back({s, 2});
        return streams;
    }
    std::vector<Stream> outputStreams(const Device& d) const {
        if (!d.aggregate) return d.outputs;
        if (const Device* sub = device(d.subDevice)) return sub->outputs;
        return {};
    }

    void prepare(Device& d, IOProc& proc) {
        const std::size_t frames = bufferFrames;
        proc.inSlots.clear();
        std::size_t offset = 0;
        std::uint32_t streamIndex = 0;
        if (const Device* source = d.aggregate ? device(d.subDevice) : &d) {
            for (const auto& s : source->inputs) {
                proc.inSlots.push_back(
                    {streamIndex++, SlotKind::deviceInput, 0, offset, s.channels});
                offset += s.channels * frames;
            }
        }
        for (auto tapID : d.taps) {
            const Tap* t = tap(tapID);
            if (t && t->nonInterleaved) {
                proc.inSlots.push_back({streamIndex, SlotKind::tapLeft, tapID, offset, 1});
                offset += frames;
                proc.inSlots.push_back({streamIndex, SlotKind::tapRight, tapID, offset, 1});
                offset += frames;
            } else {
                proc.inSlots.push_back({streamIndex, SlotKind::tapStereo, tapID, offset, 2});
                offset += 2 * frames;
            }
            ++streamIndex;
        }
        proc.inStorage.assign(offset, 0.0f);
        proc.inBuffers.assign(proc.inSlots.size(), AudioBuffer{});
        proc.usage.assign(streamIndex, 1);

        proc.outChannels.clear();
        std::size_t outSize = 0;
        for (const auto& s : outputStreams(d)) {
            proc.outChannels.push_back(s.channels);
            outSize += s.channels * frames;
        }
        proc.outStorage.assign(outSize, 0.0f);
        proc.outBuffers.assign(proc.outChannels.size(), AudioBuffer{});
    }

    void prepareAll() {
        for (auto& [_, d] : devices)
            for (auto& proc : d.procs)
                prepare(d, *proc);
    }

    void prepareDevice(Device& d) {
        d.mix.assign(std::size_t(bufferFrames) * 2, 0.0f);
        d.recorded.assign(recordFrames * 2, 0.0f);
    }

    // ---- properties ----

    // Reads a property's value; a status when the object or property does not exist.
    OSStatus read(AudioObjectID object, const AudioObjectPropertyAddress& a,
                  std::uint32_t qualifierSize, const void* qualifier, Value& out) const {
        const bool mainElement = a.mElement == kAudioObjectPropertyElementMain;
        if (object == kAudioObjectSystemObject) {
            if (!mainElement) return kAudioHardwareUnknownPropertyError;
            switch (a.mSelector) {
            case kAudioHardwarePropertyDevices: {
                std::vector<std::uint32_t> ids;
                for (const auto& [id, _] : devices)
                    ids.push_back(id);
                out = std::move(ids);
                return 0;
            }
            case kAudioHardwarePropertyProcessObjectList: {
                std::vector<std::uint32_t> ids;
                for (const auto& [id, _] : processes)
                    ids.push_back(id);
                out = std::move(ids);
                return 0;
            }
            case kAudioHardwarePropertyDefaultOutputDevice:
                out = defaultOutput;
                return 0;
            case kAudioHardwarePropertyDefaultInputDevice:
                out = defaultInput;
                return 0;
            case kAudioHardwarePropertyDefaultSystemOutputDevice:
                out = defaultSystemOutput;
                return 0;
            case kAudioHardwarePropertyServerConnected:
                out = std::uint32_t(serverConnected ? 1 : 0);
                return 0;
            case kAudioHardwarePropertyTranslatePIDToProcessObject: {
                if (qualifierSize != sizeof(std::int32_t) || !qualifier)
                    return kAudioHardwareBadPropertySizeError;
                std::int32_t pid;
                std::memcpy(&pid, qualifier, sizeof pid);
                std::uint32_t found = kAudioObjectUnknown;
                for (const auto& [id, p] : processes)
                    if (p.setup.pid == pid) found = id;
                out = found;
                return 0;
            }
            default:
                return kAudioHardwareUnknownPropertyError;
            }
        }
        if (const Device* d = device(object)) {
            const auto scope = a.mScope;
            const bool output = scope == kAudioObjectPropertyScopeOutput;
            const bool input = scope == kAudioObjectPropertyScopeInput;
            if (globalSelector(a.mSelector) && !mainElement)
                return kAudioHardwareUnknownPropertyError;
            switch (a.mSelector) {
            case kAudioDevicePropertyDeviceUID:
                out = std::optional<std::string>(d->aggregate ? d->description.uid : d->setup.uid);
                return 0;
            case kAudioObjectPropertyName:
                out =
                    std::optional<std::string>(d->aggregate ? d->description.name : d->setup.name);
                return 0;
            case kAudioDevicePropertyTransportType:
                out = std::uint32_t(d->aggregate ? Transport::aggregate : d->setup.transport);
                return 0;
            case kAudioDevicePropertyNominalSampleRate: {
                const Device* sub = d->aggregate ? device(d->subDevice) : d;
                out = sub ? sub->setup.nominalSampleRate : sampleRate;
                return 0;
            }
            case kAudioDevicePropertyStreams:
                if (!mainElement) return kAudioHardwareUnknownPropertyError;
                out = streamIDs(*d, scope);
                return 0;
            case kAudioHardwareServiceDeviceProperty_VirtualMainVolume:
                if (d->aggregate || !output || !mainElement || !d->setup.hasVirtualMainVolume ||
                    d->outputs.empty())
                    return kAudioHardwareUnknownPropertyError;
                out = d->setup.volume;
                return 0;
            case kAudioDevicePropertyVolumeScalar:
                if (d->aggregate) return kAudioHardwareUnknownPropertyError;
                if (output) {
                    auto it = d->outputElementVolume.find(a.mElement);
                    if (it == d->outputElementVolume.end() || d->outputs.empty())
                        return kAudioHardwareUnknownPropertyError;
                    out = it->second;
                    return 0;
                }
                if (input && mainElement && d->setup.hasInputVolume && !d->inputs.empty()) {
                    out = d->setup.inputVolume;
                    return 0;
                }
                return kAudioHardwareUnknownPropertyError;
            case kAudioDevicePropertyMute:
                if (d->aggregate || !mainElement) return kAudioHardwareUnknownPropertyError;
                if (output && d->setup.hasOutputMute && !d->outputs.empty()) {
                    out = std::uint32_t(d->setup.outputMuted);
                    return 0;
                }
                if (input && d->setup.hasInputMute && !d->inputs.empty()) {
                    out = std::uint32_t(d->setup.inputMuted);
                    return 0;
                }
                return kAudioHardwareUnknownPropertyError;
            default:
                return kAudioHardwareUnknownPropertyError;
            }
        }
        if (auto it = processes.find(object); it != processes.end()) {
            const auto& p = it->second;
            if (!mainElement) return kAudioHardwareUnknownPropertyError;
            switch (a.mSelector) {
            case kAudioProcessPropertyPID:
                out = p.setup.pid;
                return 0;
            case kAudioProcessPropertyBundleID:
                out = p.setup.bundleID;
                return 0;
            case kAudioProcessPropertyIsRunningOutput:
                out = std::uint32_t(p.setup.runningOutput);
                return 0;
            case kAudioProcessPropertyIsRunningInput:
                out = std::uint32_t(p.setup.runningInput);
                return 0;
            default:
                return kAudioHardwareUnknownPropertyError;
            }
        }
        if (auto it = taps.find(object); it != taps.end()) {
            const auto& t = it->second;
            if (!mainElement) return kAudioHardwareUnknownPropertyError;
            switch (a.mSelector) {
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
                return kAudioHardwareUnknownPropertyError;
            }
        }
        return isStream(object) ? kAudioHardwareUnknownPropertyError : kAudioHardwareBadObjectError;
    }

    IOProc* findProc(Device& d, AudioDeviceIOProcID id) {
        for (auto& p : d.procs)
            if (p->id == id) return p.get();
        return nullptr;
    }

    bool isStreamUsage(AudioObjectID object, const AudioObjectPropertyAddress& a) const {
        const Device* d = device(object);
        return d && a.mSelector == kAudioDevicePropertyIOProcStreamUsage &&
               (a.mScope == kAudioObjectPropertyScopeInput ||
                a.mScope == kAudioObjectPropertyScopeOutput) &&
               a.mElement == kAudioObjectPropertyElementMain;
    }

    std::uint32_t streamCount(const Device& d, AudioObjectPropertyScope scope) const {
        return std::uint32_t(scope == kAudioObjectPropertyScopeInput ? inputStreams(d).size()
                                                                     : outputStreams(d).size());
    }

    OSStatus settable(AudioObjectID object, const AudioObjectPropertyAddress& a, bool& out) const {
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

    // Makes `id` the default for `selector` and notifies when it changed.
    void setDefault(AudioObjectPropertySelector selector, AudioObjectID id) {
        AudioObjectID& slot = selector == kAudioHardwarePropertyDefaultOutputDevice ? defaultOutput
                              : selector == kAudioHardwarePropertyDefaultInputDevice
                                  ? defaultInput
                                  : defaultSystemOutput;
        if (slot == id) return;
        slot = id;
        notify(kAudioObjectSystemObject, selector);
    }

    void setOutputVolume(Device& d, float volume) {
        volume = std::clamp(volume, 0.0f, 1.0f);
        if (d.setup.volume != volume) {
            d.setup.volume = volume;
            notify(d.id, kAudioHardwareServiceDeviceProperty_VirtualMainVolume,
                   kAudioObjectPropertyScopeOutput);
        }
        for (auto& [element, value] : d.outputElementVolume) {
            if (value == volume) continue;
            value = volume;
            notify(d.id, kAudioDevicePropertyVolumeScalar, kAudioObjectPropertyScopeOutput,
                   element);
        }
    }

    OSStatus write(AudioObjectID object, const AudioObjectPropertyAddress& a, std::uint32_t size,
                   const void* data) {
        if (isStreamUsage(object, a)) {
            Device& d = *device(object);
            if (size < ioProcStreamUsageHeaderSize || !data)
                return kAudioHardwareBadPropertySizeError;
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

    // ---- audio ----

    float sample(const Signal& signal, double phase) const {
        switch (signal.shape) {
        case Signal::Shape::silence:
            return 0.0f;
        case Signal::Shape::sine:
            return signal.amplitude * float(std::sin(phase));
        case Signal::Shape::square:
            return std::sin(phase) >= 0 ? signal.amplitude : -signal.amplitude;
        }
        return 0.0f;
    }

    bool captures(const Tap& t, AudioObjectID processID) const {
        // This program's sounds without a process object of their own count as not excluded.
        if (processID == 0) return t.description.isExclusive;
        return t.description.captures(processID);
    }

    bool mutedAtSource(AudioObjectID processID) const {
        for (const auto& [_, t] : taps) {
            if (!captures(t, processID)) continue;
            if (t.description.muteBehavior == CATapMuteBehavior::muted) return true;
            if (t.description.muteBehavior == CATapMuteBehavior::mutedWhenTapped && t.read)
                return true;
        }
        return false;
    }

    static void mixInto(std::vector<float>& dst, const float* src, std::size_t frames) {
        for (std::size_t i = 0; i < frames * 2; ++i)
            dst[i] += src[i];
    }

    void cycle(std::uint32_t n) {
        // Which taps are read this cycle.
        for (auto& [_, t] : taps)
            t.read = false;
        for (auto& [_, d] : devices) {
            const bool reading = std::any_of(d.procs.begin(), d.procs.end(),
                                             [](const auto& p) { return p->running; });
            if (!reading) continue;
            for (auto tapID : d.taps)
                if (Tap* t = tap(tapID)) t->read = true;
        }
        for (auto& [_, d] : devices)
            std::fill(d.mix.begin(), d.mix.begin() + 2 * n, 0.0f);
        for (auto& [_, t] : taps)
            std::fill(t.capture.begin(), t.capture.begin() + 2 * n, 0.0f);

        // Processes.
        for (auto& [id, p] : processes) {
            const double step = 2 * std::numbers::pi * p.setup.signal.frequency / sampleRate;
            const bool playing = p.setup.runningOutput;
            for (std::uint32_t i = 0; i < n; ++i) {
                const float v = playing ? sample(p.setup.signal, p.phase) : 0.0f;
                p.buffer[2 * i] = v;
                p.buffer[2 * i + 1] = v;
                p.phase += step;
            }
            p.phase = std::fmod(p.phase, 2 * std::numbers::pi);
            p.muted = mutedAtSource(id);
            if (!playing) continue;
            if (captureAllowed) {
                for (auto& [_, t] : taps)
                    if (captures(t, id)) mixInto(t.capture, p.buffer.data(), n);
            }
            if (!p.muted) {
                if (Device* d = device(target(p))) mixInto(d->mix, p.buffer.data(), n);
                for (std::uint32_t i = 0; i < 2 * n; ++i)
                    p.audiblePeak = std::max(p.audiblePeak, std::abs(p.buffer[i]));
            }
        }

        // This program's sounds.
        const AudioObjectID own = ownProcess();
        const bool ownMuted = mutedAtSource(own);
        for (auto& sound : sounds) {
            const auto& samples = *sound.samples;
            for (std::uint32_t i = 0; i < n; ++i) {
                const float v =
                    sound.position < samples.size() ? samples[sound.position] * sound.volume : 0.0f;
                if (sound.position < samples.size()) ++sound.position;
                scratch[2 * i] = v;
                scratch[2 * i + 1] = v;
            }
            if (captureAllowed) {
                for (auto& [_, t] : taps)
                    if (captures(t, own)) mixInto(t.capture, scratch.data(), n);
            }
            if (!ownMuted)
                if (Device* d = device(sound.device)) mixInto(d->mix, scratch.data(), n);
        }
        std::erase_if(sounds, [](const Sound& s) { return s.position >= s.samples->size(); });

        // IO procedures.
        for (auto& [_, d] : devices) {
            Device* out = d.aggregate ? device(d.subDevice) : &d;
            for (auto& procPtr : d.procs) {
                IOProc& proc = *procPtr;
                if (!proc.running) continue;
                runProc(proc, n, out);
            }
        }

        // What each device plays.
        for (auto& [_, d] : devices) {
            const float gain = d.setup.outputMuted ? 0.0f : (d.aggregate ? 1.0f : d.setup.volume);
            for (std::uint32_t i = 0; i < 2 * n; ++i) {
                const float v = d.mix[i] * gain;
                d.peak = std::max(d.peak, std::abs(v));
                d.recorded[d.recordPos] = v;
                d.recordPos = (d.recordPos + 1) % d.recorded.size();
            }
            d.recordCount = std::min(d.recorded.size(), d.recordCount + 2 * n);
        }
    }

    void runProc(IOProc& proc, std::uint32_t n, Device* out) {
        for (std::size_t b = 0; b < proc.inSlots.size(); ++b) {
            const BufferSlot& slot = proc.inSlots[b];
            AudioBuffer& buffer = proc.inBuffers[b];
            buffer.numberChannels = slot.channels;
            if (!proc.usage[slot.stream]) {
                buffer.data = nullptr;
                buffer.dataByteSize = 0;
                continue;
            }
            float* data = proc.inStorage.data() + slot.offset;
            buffer.data = data;
            buffer.dataByteSize = slot.channels * n * 4;
            const Tap* t = slot.kind == SlotKind::deviceInput ? nullptr : tap(slot.tap);
            for (std::uint32_t i = 0; i < n; ++i) {
                switch (slot.kind) {
                case SlotKind::deviceInput:
                    for (std::uint32_t c = 0; c < slot.channels; ++c)
                        data[i * slot.channels + c] = 0;
                    break;
                case SlotKind::tapStereo:
                    data[2 * i] = t ? t->capture[2 * i] : 0.0f;
                    data[2 * i + 1] = t ? t->capture[2 * i + 1] : 0.0f;
                    break;
                case SlotKind::tapLeft:
                    data[i] = t ? t->capture[2 * i] : 0.0f;
                    break;
                case SlotKind::tapRight:
                    data[i] = t ? t->capture[2 * i + 1] : 0.0f;
                    break;
                }
            }
        }
        std::size_t offset = 0;
        for (std::size_t b = 0; b < proc.outChannels.size(); ++b) {
            const std::uint32_t c = proc.outChannels[b];
            float* data = proc.outStorage.data() + offset;
            std::fill(data, data + c * n, 0.0f);
            proc.outBuffers[b] = AudioBuffer{c, c * n * 4, data};
            offset += std::size_t(c) * bufferFrames;
        }
        const AudioBufferList input{std::uint32_t(proc.inBuffers.size()), proc.inBuffers.data()};
        const AudioBufferList output{std::uint32_t(proc.outBuffers.size()), proc.outBuffers.data()};
        proc.block(&input, &output);
        if (!out) return;
        // Channels across the output list in order: the first is left, the second right; a
        // single mono channel feeds both.
        std::uint32_t totalChannels = 0;
        for (auto c : proc.outChannels)
            totalChannels += c;
        std::uint32_t channel = 0;
        for (std::size_t b = 0; b < proc.outChannels.size(); ++b) {
            const std::uint32_t c = proc.outChannels[b];
            const float* data = static_cast<const float*>(proc.outBuffers[b].data);
            for (std::uint32_t j = 0; j < c; ++j, ++channel) {
                if (channel > 1) continue;
                for (std::uint32_t i = 0; i < n; ++i) {
                    const float v = data[i * c + j];
                    if (totalChannels == 1) {
                        out->mix[2 * i] += v;
                        out->mix[2 * i + 1] += v;
                    } else {
                        out->mix[2 * i + channel] += v;
                    }
                }
            }
        }
    }
};

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

std::optional<AggregateDeviceDescription> SimHal::aggregateDescription(AudioObjectID id) const {
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

// ---- Hal ----

bool SimHal::hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) {
    std::lock_guard lock(s_->mutex);
    if (s_->fault(Operation::hasProperty, object, address.mSelector)) return false;
    if (s_->isStreamUsage(object, address)) return true;
    Value value;
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
    Value value;
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
    Value value;
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
    Value value;
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

OSStatus SimHal::createAggregateDevice(const AggregateDeviceDescription& description,
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
