// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/SimServer.h"

#include <array>
#include <map>
#include <mutex>

namespace voxlane {

// What the simulated server holds, shared by the files that make it up: the object model, its
// lookups and the model it publishes (SimServerState.cpp), the audio clock (SimServerAudio.cpp),
// taps, aggregate devices and render callbacks (SimServerTaps.cpp). Every member is used under
// `mutex`.
struct SimServer::State {
    static constexpr std::size_t recordFrames = 16384;

    enum class SlotKind { deviceInput, tapStereo, tapLeft, tapRight };
    struct BufferSlot {
        std::uint32_t stream = 0; // input stream index (for the usage flags)
        SlotKind kind = SlotKind::deviceInput;
        ObjectId tap = noObject;
        std::size_t offset = 0; // in floats, into the storage
        std::uint32_t channels = 0;
    };

    struct Render {
        RenderId id = 0;
        RenderBlock block;
        bool running = false;
        std::vector<bool> usage; // one flag per input stream
        std::vector<BufferSlot> inSlots;
        std::vector<float> inStorage;
        std::vector<AudioBuffer> inBuffers;
        std::vector<std::uint32_t> outChannels;
        std::vector<float> outStorage;
        std::vector<AudioBuffer> outBuffers;
    };

    struct Device {
        ObjectId id = noObject;
        DeviceSetup setup;
        bool aggregate = false;
        AggregateDescription description;
        ObjectId subDevice = noObject;
        std::vector<ObjectId> taps;
        std::vector<std::unique_ptr<Render>> renders;
        std::vector<float> mix;
        float peak = 0;
        std::vector<float> recorded;
        std::size_t recordPos = 0;
        std::size_t recordCount = 0;
    };

    struct Process {
        ObjectId id = noObject;
        ProcessSetup setup;
        double phase = 0;
        std::vector<float> buffer;
        float audiblePeak = 0;
        bool muted = false;
    };

    struct Tap {
        ObjectId id = noObject;
        TapDescription description;
        bool nonInterleaved = false;
        std::vector<float> capture;
        bool read = false;
    };

    struct Sound {
        std::string name;
        std::shared_ptr<const std::vector<float>> samples;
        float volume = 0;
        ObjectId device = noObject;
        std::size_t position = 0;
    };

    State(double rate, std::uint32_t frames)
        : sampleRate(rate), bufferFrames(std::max<std::uint32_t>(1, frames)) {
        scratch.resize(std::size_t(bufferFrames) * 2);
    }

    const double sampleRate;
    const std::uint32_t bufferFrames;
    mutable std::recursive_mutex mutex;

    ObjectId nextObject = 2;
    RenderId nextRender = 1;
    std::map<ObjectId, Device> devices;
    std::map<ObjectId, Process> processes;
    std::map<ObjectId, Tap> taps;
    std::vector<Sound> sounds;
    std::vector<PlayedSound> played;
    std::array<ObjectId, 3> defaults{}; // by Role
    bool serverConnected = true;
    bool captureAllowed = true;
    bool tapsNonInterleaved = false;
    std::int32_t ownPid = 0;
    std::vector<Fault> faults;
    std::array<std::size_t, std::size_t(Operation::count_)> calls{};
    std::vector<float> scratch;

    // ---- The object model (SimServerState.cpp) ----

    Device* device(ObjectId id);
    const Device* device(ObjectId id) const;
    Process* process(ObjectId id);
    const Tap* tap(ObjectId id) const;
    Tap* tap(ObjectId id);
    ObjectId& defaultFor(Role role) { return defaults[std::size_t(role)]; }
    ObjectId ownProcess() const;
    // The device a process plays to now.
    ObjectId target(const Process& p) const;
    ObjectId firstDeviceWith(Side side, ObjectId except) const;
    // The channels of each stream of a side; an aggregate device has its sub-device's, and on
    // the input side one stereo stream per tap after them.
    std::vector<std::uint32_t> streams(const Device& d, Side side) const;
    static Controls& controls(Device& d, Side side) {
        return side == Side::output ? d.setup.output : d.setup.input;
    }
    void prepareDevice(Device& d);
    Render* findRender(ObjectId device, RenderId id);
    // The model the core answers reads from.
    ServerModel model() const;
    ServerModel::Device modelOf(const Device& d) const;
    ProcessInfo modelOf(const Process& p) const;
    // The first injected fault matching the call (counting it), or none.
    ServerError fault(Operation op, ObjectId object);

    // ---- The audio clock (SimServerAudio.cpp) ----

    void prepare(Device& d, Render& render);
    void prepareAll();
    float sample(const Signal& signal, double phase) const;
    bool captures(const Tap& t, ObjectId process) const;
    bool mutedAtSource(ObjectId process) const;
    static void mixInto(std::vector<float>& dst, const float* src, std::size_t frames);
    // One cycle of the audio clock: processes and sounds render, taps capture, running render
    // callbacks run, devices play.
    void cycle(std::uint32_t n);
    void startCycle(std::uint32_t n);
    void renderProcesses(std::uint32_t n);
    void renderSounds(std::uint32_t n);
    void playDevices(std::uint32_t n);
    void fillInputs(Render& render, std::uint32_t n);
    void runRender(Render& render, std::uint32_t n, Device* out);
};

} // namespace voxlane
