#pragma once

#include "engine/AppTap.h"
#include "engine/MixerEngine.h"
#include "platform/Defaults.h"
#include "platform/ManualScheduler.h"
#include "platform/SystemEvents.h"
#include "platform/SystemSounds.h"
#include "platform/hal/SimHal.h"
#include "support/FakeWorkspace.h"
#include "support/SimSpecs.h"

#include <gtest/gtest.h>
#include <memory>

namespace voxlane::test {

// A simulated desktop for engine tests: speakers and headphones, permission granted, this
// program's own (silent) process, apps added by the test, and the engine started on demand.
class EngineFixture : public ::testing::Test {
protected:
    static constexpr std::int32_t ownPid = 1000;

    EngineFixture() {
        workspace.pid = ownPid;
        hal.setOwnPid(ownPid);
        own = hal.addProcess(processSpec(ownPid, SimHal::Signal::silence()));
        speakers = hal.addDevice(deviceSpec("speakers", "Speakers"));
        headphones =
            hal.addDevice(deviceSpec("headphones", "Headphones", kAudioDeviceTransportTypeUSB));
        defaults->setBoolean(AudioPermission::grantedKey, true);
    }

    ~EngineFixture() override {
        engine.reset();
        scheduler.runPending();
    }

    EngineServices services() {
        return {hal,    scheduler, *defaults,     workspace,
                sounds, events,    [](double) {}, [](std::function<void()> job) { job(); }};
    }

    MixerEngine& start() {
        engine = std::make_unique<MixerEngine>(services());
        return *engine;
    }

    // A regular desktop application with one process.
    AudioObjectID addApp(std::int32_t pid, const std::string& id, const std::string& name,
                         SimHal::Signal signal = SimHal::Signal::sine(0.5f), bool regular = true) {
        workspace.applications[pid] = RunningApplication{id, name, {}, "", regular};
        return hal.addProcess(processSpec(pid, signal, id));
    }

    // Lets pending listener notifications and the debounced refresh run.
    void settle() { scheduler.advance(0.5); }

    // Runs the audio clock for `seconds` and returns what `device` played at its loudest.
    float playPeak(AudioObjectID device, double seconds = 0.25) {
        hal.advance(static_cast<std::uint32_t>(seconds * hal.sampleRate()));
        return hal.peak(device);
    }

    void setDefaultOutput(AudioObjectID device) {
        const AudioObjectPropertyAddress address{kAudioHardwarePropertyDefaultOutputDevice,
                                                 kAudioObjectPropertyScopeGlobal,
                                                 kAudioObjectPropertyElementMain};
        ASSERT_EQ(hal.setPropertyData(kAudioObjectSystemObject, address, 0, nullptr, sizeof(device),
                                      &device),
                  0);
    }

    AppTap* tap(const std::string& id) {
        const auto it = engine->taps().find(id);
        return it == engine->taps().end() ? nullptr : it->second.get();
    }

    ManualScheduler scheduler;
    SimHal hal{scheduler};
    std::unique_ptr<Defaults> defaults = Defaults::inMemory();
    FakeWorkspace workspace;
    SystemSounds sounds{hal};
    SystemEvents events;
    AudioObjectID own = 0, speakers = 0, headphones = 0;
    std::unique_ptr<MixerEngine> engine;
};

} // namespace voxlane::test
