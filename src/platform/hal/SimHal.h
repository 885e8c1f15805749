// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Scheduler.h"
#include "platform/hal/Hal.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace voxlane {

// A deterministic audio server inside the process: the test double of everything above the Hal
// and the audio server of the demo mode.
//
// The model: devices (with streams, nominal rate, volume and mute controls), client processes
// that each play a generated signal to the default output (or to the device they were placed
// on), the default devices, process taps, aggregate devices and IO procedures. Nothing happens
// by itself: `advance(frames)` runs the audio clock, cycle by cycle (`bufferFrames` each). In
// every cycle each process renders its signal; each process tap captures its processes (before
// any muting; zeros while capture is not allowed); every running IO procedure is called with
// its device's input list (the sub-device's input streams, then the taps' buffers) and a zeroed
// output list; and each device plays the sum of its processes that are not muted at the source,
// of the IO procedures' outputs and of this program's sounds, scaled by its volume and mute.
// A process is muted at the source while a tap with `mutedWhenTapped` that captures it is read
// by a running IO procedure (or while a `muted` tap exists). Each device remembers the peak and
// the samples it played during the last `advance`.
//
// Property changes (made through the Hal or by the test) notify listeners by posting to the
// main queue; a registration removed before the notification runs is not called. The server is
// thread-safe (one lock; IO procedures run under it), and `advance` allocates nothing once the
// objects exist, so a test can prove that an IO procedure does not allocate.
class SimHal final : public Hal {
public:
    struct DeviceSetup {
        std::string uid;
        std::string name;
        Transport transport = Transport::builtIn;
        std::vector<std::uint32_t> outputStreams{2}; // channels of each output stream
        std::vector<std::uint32_t> inputStreams;     // channels of each input stream
        double nominalSampleRate = 48000;
        // Output controls. `volume` is what the user hears (the virtual main volume); a write
        // of it also sets every output volume element.
        bool hasVirtualMainVolume = true;
        bool virtualMainVolumeSettable = true;
        float volume = 1.0f;
        std::vector<AudioObjectPropertyElement> outputVolumeElements{1, 2};
        bool outputVolumeSettable = true;
        bool hasOutputMute = true;
        bool outputMuteSettable = true;
        bool outputMuted = false;
        // Input controls (element main).
        bool hasInputVolume = true;
        bool inputVolumeSettable = true;
        float inputVolume = 1.0f;
        bool hasInputMute = true;
        bool inputMuteSettable = true;
        bool inputMuted = false;
    };

    struct Signal {
        enum class Shape { silence, sine, square };
        Shape shape = Shape::silence;
        float amplitude = 0;
        double frequency = 440;

        static Signal sine(float amplitude, double frequency = 440) {
            return {Shape::sine, amplitude, frequency};
        }
        static Signal square(float amplitude, double frequency = 440) {
            return {Shape::square, amplitude, frequency};
        }
        static Signal silence() { return {}; }
    };

    struct ProcessSetup {
        std::int32_t pid = 0;
        std::optional<std::string> bundleID;
        bool runningOutput = true;
        bool runningInput = false;
        Signal signal;
        AudioObjectID device = kAudioObjectUnknown; // unknown: play to the default output
    };

    enum class Operation {
        any,
        hasProperty,
        isPropertySettable,
        getPropertyDataSize,
        getPropertyData, // also string reads
        setPropertyData,
        addPropertyListener,
        removePropertyListener,
        createProcessTap,
        destroyProcessTap,
        createAggregateDevice,
        destroyAggregateDevice,
        createIOProcID,
        destroyIOProcID,
        deviceStart,
        deviceStop,
        playSound,
        count_
    };

    // Makes matching calls fail with `status` (hasProperty answers false). Unset filters match
    // everything; `times` < 0 means until cleared.
    struct Fault {
        Operation operation = Operation::any;
        OSStatus status = kAudioHardwareUnspecifiedError;
        std::optional<AudioObjectID> object;
        std::optional<AudioObjectPropertySelector> selector;
        int times = -1;
        int skip = 0; // matching calls that succeed before the fault starts
    };

    struct PlayedSound {
        std::string name;
        float volume = 0;
        AudioObjectID device = kAudioObjectUnknown;
    };

    explicit SimHal(Scheduler& mainQueue, double sampleRate = 48000,
                    std::uint32_t bufferFrames = 512);
    ~SimHal() override;
    SimHal(const SimHal&) = delete;
    SimHal& operator=(const SimHal&) = delete;

    // --- The simulated world (the test's side) ---
    // A new device becomes the default output (and system output) or input when there is none.
    AudioObjectID addDevice(DeviceSetup setup);
    // Disconnects a device; defaults on it move to the first remaining suitable device.
    void removeDevice(AudioObjectID device);
    AudioObjectID addProcess(ProcessSetup setup);
    void removeProcess(AudioObjectID process);
    void setProcessRunning(AudioObjectID process, bool output, bool input);
    void setProcessSignal(AudioObjectID process, Signal signal);
    // Places a process on a device (kAudioObjectUnknown: follow the default output).
    void setProcessDevice(AudioObjectID process, AudioObjectID device);
    // Whether taps deliver what they capture (the user's permission to record system audio);
    // without it they deliver silence.
    void setCaptureAllowed(bool allowed);
    // Taps of this format deliver two mono buffers instead of one interleaved stereo buffer.
    void setTapsNonInterleaved(bool nonInterleaved);
    // Whether the server counts as reachable (what a real server's Hal says while it waits for
    // one). The test removes and adds the devices and processes that go and come with it.
    void setServerConnected(bool connected);
    // The pid of this program; its process object (when there is one) owns played sounds.
    void setOwnPid(std::int32_t pid);

    // --- The clock ---
    void advance(std::uint32_t frames);
    double sampleRate() const;
    std::uint32_t bufferFrames() const;

    // --- What happened ---
    float peak(AudioObjectID device) const;
    // Interleaved stereo frames the device played in the last advance (at most the last 16384).
    std::vector<float> lastSamples(AudioObjectID device) const;
    // Peak of what the process itself made audible in the last advance (0 when muted).
    float processAudiblePeak(AudioObjectID process) const;
    bool isMutedAtSource(AudioObjectID process) const;
    std::vector<PlayedSound> playedSounds() const;
    std::optional<TapDescription> tapDescription(AudioObjectID tap) const;
    std::optional<AggregateDescription> aggregateDescription(AudioObjectID device) const;
    // On/off flags of the device's input streams for one IO procedure.
    std::vector<std::uint32_t> streamUsage(AudioObjectID device, AudioDeviceIOProcID proc) const;
    AudioObjectID defaultDevice(AudioObjectPropertySelector which) const;
    float deviceVolume(AudioObjectID device) const;
    bool deviceMuted(AudioObjectID device, AudioObjectPropertyScope scope) const;

    // --- Fault injection and counters ---
    void injectFault(Fault fault);
    void clearFaults();
    std::size_t calls(Operation operation) const;
    std::size_t liveTaps() const;
    std::size_t liveAggregateDevices() const;
    std::size_t liveIOProcs() const;
    std::size_t runningIOProcs() const;
    std::size_t liveListeners() const;

    // --- Hal ---
    bool hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) override;
    OSStatus isPropertySettable(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                bool* outSettable) override;
    OSStatus getPropertyDataSize(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                 std::uint32_t qualifierSize, const void* qualifier,
                                 std::uint32_t* outSize) override;
    OSStatus getPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                             std::uint32_t qualifierSize, const void* qualifier,
                             std::uint32_t* ioSize, void* data) override;
    OSStatus setPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                             std::uint32_t qualifierSize, const void* qualifier, std::uint32_t size,
                             const void* data) override;
    OSStatus getPropertyString(AudioObjectID object, const AudioObjectPropertyAddress& address,
                               std::optional<std::string>* outValue) override;
    OSStatus addPropertyListener(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                 const AudioObjectPropertyListenerBlockRef& block) override;
    OSStatus removePropertyListener(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                    const AudioObjectPropertyListenerBlockRef& block) override;
    OSStatus createProcessTap(const TapDescription& description, AudioObjectID* outTap) override;
    OSStatus destroyProcessTap(AudioObjectID tap) override;
    OSStatus createAggregateDevice(const AggregateDescription& description,
                                   AudioObjectID* outDevice) override;
    OSStatus destroyAggregateDevice(AudioObjectID device) override;
    OSStatus createIOProcID(AudioObjectID device, AudioDeviceIOBlock block,
                            AudioDeviceIOProcID* outProc) override;
    OSStatus destroyIOProcID(AudioObjectID device, AudioDeviceIOProcID proc) override;
    OSStatus deviceStart(AudioObjectID device, AudioDeviceIOProcID proc) override;
    OSStatus deviceStop(AudioObjectID device, AudioDeviceIOProcID proc) override;
    OSStatus playSound(const std::string& name, std::shared_ptr<const std::vector<float>> samples,
                       float volume) override;

private:
    struct State;
    std::shared_ptr<State> s_;
};

} // namespace voxlane
