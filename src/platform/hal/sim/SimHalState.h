// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/hal/SimHal.h"

#include <array>
#include <map>
#include <mutex>
#include <variant>

namespace voxlane {

// What the simulated server holds, shared by the files that make it up: the object model and its
// lookups (SimHalState.cpp), the property answers (SimHalProperties.cpp), the audio clock
// (SimHalAudio.cpp), taps, aggregate devices and IO procedures (SimHalTaps.cpp), and the fault
// injection and probes that serve the tests (SimHalProbes.cpp). Every member is used under
// `mutex`.
struct SimHal::State {
    static constexpr std::size_t recordFrames = 16384;
    static constexpr AudioObjectPropertyElement elementWildcard = 0xFFFFFFFFu;

    // A property value as the model answers it, before it is copied into the caller's bytes.
    using Value =
        std::variant<std::uint32_t, std::int32_t, float, double, std::vector<std::uint32_t>,
                     std::optional<std::string>, AudioStreamBasicDescription>;

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
        AggregateDescription description;
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

    // ---- The object model (SimHalState.cpp) ----

    Device* device(AudioObjectID id);
    const Device* device(AudioObjectID id) const;
    Process* process(AudioObjectID id);
    Tap* tap(AudioObjectID id);
    bool isStream(AudioObjectID id) const;
    bool exists(AudioObjectID id) const;
    AudioObjectID ownProcess() const;
    // The device a process plays to now.
    AudioObjectID target(const Process& p) const;
    void notify(AudioObjectID object, AudioObjectPropertySelector selector,
                AudioObjectPropertyScope scope = kAudioObjectPropertyScopeGlobal,
                AudioObjectPropertyElement element = kAudioObjectPropertyElementMain);
    AudioObjectID firstDeviceWith(bool output, AudioObjectID except) const;
    std::vector<std::uint32_t> streamIDs(const Device& d, AudioObjectPropertyScope scope) const;
    // An aggregate device's input streams: its sub-device's, then one per tap.
    std::vector<Stream> inputStreams(const Device& d) const;
    std::vector<Stream> outputStreams(const Device& d) const;
    void prepareDevice(Device& d);
    IOProc* findProc(Device& d, AudioDeviceIOProcID id);
    bool isStreamUsage(AudioObjectID object, const AudioObjectPropertyAddress& a) const;
    std::uint32_t streamCount(const Device& d, AudioObjectPropertyScope scope) const;
    // Makes `id` the default for `selector` and notifies when it changed.
    void setDefault(AudioObjectPropertySelector selector, AudioObjectID id);

    // ---- Property answers (SimHalProperties.cpp) ----

    // Reads a property's value; a status when the object or property does not exist.
    OSStatus read(AudioObjectID object, const AudioObjectPropertyAddress& a,
                  std::uint32_t qualifierSize, const void* qualifier, Value& out) const;
    OSStatus readSystem(AudioObjectPropertySelector selector, std::uint32_t qualifierSize,
                        const void* qualifier, Value& out) const;
    OSStatus readDevice(const Device& d, const AudioObjectPropertyAddress& a, Value& out) const;
    static OSStatus readVolume(const State& s, const Device& d, const AudioObjectPropertyAddress& a,
                               Value& out);
    static OSStatus readMute(const State& s, const Device& d, const AudioObjectPropertyAddress& a,
                             Value& out);
    static OSStatus readProcess(const Process& p, AudioObjectPropertySelector selector, Value& out);
    OSStatus readTap(const Tap& t, AudioObjectPropertySelector selector, Value& out) const;
    OSStatus settable(AudioObjectID object, const AudioObjectPropertyAddress& a, bool& out) const;
    void setOutputVolume(Device& d, float volume);
    OSStatus write(AudioObjectID object, const AudioObjectPropertyAddress& a, std::uint32_t size,
                   const void* data);

    // ---- The audio clock (SimHalAudio.cpp) ----

    void prepare(Device& d, IOProc& proc);
    void prepareAll();
    float sample(const Signal& signal, double phase) const;
    bool captures(const Tap& t, AudioObjectID processID) const;
    bool mutedAtSource(AudioObjectID processID) const;
    static void mixInto(std::vector<float>& dst, const float* src, std::size_t frames);
    // One cycle of the audio clock: processes and sounds render, taps capture, running IO
    // procedures run, devices play.
    void cycle(std::uint32_t n);
    void startCycle(std::uint32_t n);
    void renderProcesses(std::uint32_t n);
    void renderSounds(std::uint32_t n);
    void playDevices(std::uint32_t n);
    void runProc(IOProc& proc, std::uint32_t n, Device* out);

    // ---- Fault injection (SimHalProbes.cpp) ----

    // Counts the call; the status of the first injected fault that matches it, if any.
    std::optional<OSStatus> fault(Operation op, AudioObjectID object,
                                  std::optional<AudioObjectPropertySelector> selector);
};

} // namespace voxlane
