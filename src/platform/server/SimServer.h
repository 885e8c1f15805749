// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Scheduler.h"
#include "platform/server/ServerCore.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace voxlane {

namespace test {
class SimProbes;
}

// A deterministic audio server inside the process: the test double of everything above the
// audio-server interface and the audio server of the demo mode.
//
// The world: devices (with streams, sample rate, volume and mute per side), client processes
// that each play a generated signal to the default output (or to the device they were placed
// on), the default devices, process taps, aggregate devices and render callbacks. Nothing
// happens by itself: `advance(frames)` runs the audio clock, cycle by cycle (`bufferFrames`
// each). In every cycle each process renders its signal; each process tap captures its
// processes (before any muting; zeros while capture is not allowed); every running render
// callback is called with its device's input list (the sub-device's input streams, then one
// stream per tap) and a zeroed output list; and each device plays the sum of its processes that
// are not muted at the source, of the render callbacks' outputs and of this program's sounds,
// scaled by its volume and mute. A process is muted at the source while a tap with
// `mutedWhenTapped` that captures it is read by a running render callback (or while a `muted`
// tap exists). Each device remembers the peak and the samples it played during the last
// `advance`.
//
// Every change of the world and every write publishes a new model, so subscribers hear of it
// on the main queue. Aggregate devices are in the model as unlisted devices. The server is
// thread-safe (one lock; render callbacks run under it), and `advance` allocates nothing once
// the objects exist, so a test can prove that a render callback does not allocate.
//
// Tests inject faults and read counters through test::SimProbes (tests/support).
class SimServer final : public ServerCore {
public:
    // One side of a device: its volume and mute controls.
    struct Controls {
        bool hasVolume = true;
        bool volumeSettable = true;
        float volume = 1.0f; // what the user hears, 0…1
        bool hasMute = true;
        bool muteSettable = true;
        bool muted = false;
    };

    struct DeviceSetup {
        std::string uid;
        std::string name;
        Transport transport = Transport::builtIn;
        std::vector<std::uint32_t> outputStreams{2}; // channels of each output stream
        std::vector<std::uint32_t> inputStreams;     // channels of each input stream
        double sampleRate = 48000;
        // A device "has hardware volume" when its output volume exists and is settable.
        Controls output;
        Controls input;

        static DeviceSetup of(std::string uid, std::string name,
                              Transport transport = Transport::builtIn,
                              std::vector<std::uint32_t> outputs = {2},
                              std::vector<std::uint32_t> inputs = {}) {
            DeviceSetup setup;
            setup.uid = std::move(uid);
            setup.name = std::move(name);
            setup.transport = transport;
            setup.outputStreams = std::move(outputs);
            setup.inputStreams = std::move(inputs);
            return setup;
        }
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
        std::optional<std::string> appId;
        bool playing = true;
        bool recording = false;
        Signal signal;
        ObjectId device = noObject; // noObject: play to the default output
    };

    // Makes matching operations fail with `error` (a refused read answers empty). Unset filters
    // match everything; `times` < 0 means until cleared. Injected through test::SimProbes.
    struct Fault {
        Operation operation = Operation::any;
        ServerError error = ServerError::failed;
        std::optional<ObjectId> object;
        int times = -1;
        int skip = 0; // matching calls that succeed before the fault starts
    };

    struct PlayedSound {
        std::string name;
        float volume = 0;
        ObjectId device = noObject;
    };

    explicit SimServer(Scheduler& mainQueue, double sampleRate = 48000,
                       std::uint32_t bufferFrames = 512);
    ~SimServer() override;

    // --- The simulated world (the test's side) ---
    // A new device becomes the default output (and alert output) or input when there is none.
    ObjectId addDevice(DeviceSetup setup);
    // Disconnects a device; defaults on it move to the first remaining suitable device.
    void removeDevice(ObjectId device);
    ObjectId addProcess(ProcessSetup setup);
    void removeProcess(ObjectId process);
    void setProcessRunning(ObjectId process, bool playing, bool recording);
    void setProcessSignal(ObjectId process, Signal signal);
    // Places a process on a device (noObject: follow the default output).
    void setProcessDevice(ObjectId process, ObjectId device);
    // Whether taps deliver what they capture (the user's permission to record system audio);
    // without it they deliver silence.
    void setCaptureAllowed(bool allowed);
    // Taps made from now on deliver two mono buffers instead of one interleaved stereo buffer.
    void setTapsNonInterleaved(bool nonInterleaved);
    // Whether the server counts as reachable (what a real server says while it waits for one).
    // The test removes and adds the devices and processes that go and come with it.
    void setServerConnected(bool connected);
    // The pid of this program; its process object (when there is one) owns played sounds.
    void setOwnPid(std::int32_t pid);

    // --- The clock ---
    void advance(std::uint32_t frames);
    double sampleRate() const;
    std::uint32_t bufferFrames() const;

    // --- What happened ---
    float peak(ObjectId device) const;
    // Interleaved stereo frames the device played in the last advance (at most the last 16384).
    std::vector<float> lastSamples(ObjectId device) const;
    // Peak of what the process itself made audible in the last advance (0 when muted).
    float processAudiblePeak(ObjectId process) const;
    bool isMutedAtSource(ObjectId process) const;
    std::vector<PlayedSound> playedSounds() const;
    // The device's control values as the world holds them (not counted as server calls).
    float deviceVolume(ObjectId device, Side side = Side::output) const;
    bool deviceMuted(ObjectId device, Side side = Side::output) const;

    // --- AudioServer ---
    ServerError setVolume(ObjectId device, Side side, float volume) override;
    ServerError setMute(ObjectId device, Side side, bool muted) override;
    ServerError setDefaultDevice(Role role, ObjectId device) override;
    std::optional<StreamFormat> tapFormat(ObjectId tap) override;
    // Plays on the alert device.
    ServerError playSound(const std::string& name,
                          std::shared_ptr<const std::vector<float>> samples, float volume) override;

protected:
    ServerError makeTap(const TapDescription& description, ObjectId* tap) override;
    ServerError removeTap(ObjectId tap) override;
    ServerError makeAggregate(const AggregateDescription& description, ObjectId* device) override;
    ServerError removeAggregate(ObjectId device) override;
    ServerError makeRender(ObjectId device, RenderBlock block, RenderId* render) override;
    ServerError removeRender(ObjectId device, RenderId render) override;
    ServerError startRender(ObjectId device, RenderId render) override;
    ServerError stopRender(ObjectId device, RenderId render) override;
    std::optional<std::vector<bool>> renderInputs(ObjectId device, RenderId render) override;
    ServerError setRenderInputs(ObjectId device, RenderId render,
                                const std::vector<bool>& usage) override;
    // Counts the call and answers with the first injected fault that matches it.
    ServerError admit(Operation operation, ObjectId object) override;

private:
    friend class test::SimProbes;
    struct State;

    // Publishes the model of the world as it is now. Called with the state locked.
    void publishWorld();

    std::unique_ptr<State> s_;
};

} // namespace voxlane
