// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/AppTap.h"
#include "support/EngineRig.h"

namespace voxlane::test {

// A simulated desktop for engine tests: speakers and headphones, permission granted, this
// program's own (silent) process, apps added by the test, and the engine started on demand.
class EngineFixture : public ::testing::Test, public EngineRig {
protected:
    static constexpr std::int32_t ownPid = 1000;

    EngineFixture() {
        workspace.pid = ownPid;
        sim.setOwnPid(ownPid);
        own = sim.addProcess(processSetup(ownPid, SimServer::Signal::silence()));
        speakers = sim.addDevice(deviceSetup("speakers", "Speakers"));
        headphones = sim.addDevice(deviceSetup("headphones", "Headphones", Transport::usb));
        store->setBoolean(AudioPermission::grantedKey, true);
    }

    ~EngineFixture() override {
        engine.reset();
        scheduler.runPending();
    }

    // A desktop application with one process.
    ObjectId addApp(std::int32_t pid, const std::string& id, const std::string& name,
                    SimServer::Signal signal = SimServer::Signal::sine(0.5f), bool regular = true) {
        workspace.applications[pid] = RunningApplication{id, name, {}, "", regular};
        return sim.addProcess(processSetup(pid, signal, id));
    }
    // The same, playing on `device` instead of the default output.
    ObjectId addAppOn(ObjectId device, std::int32_t pid, const std::string& id,
                      const std::string& name, SimServer::Signal signal) {
        workspace.applications[pid] = RunningApplication{id, name, {}, "", true};
        return sim.addProcess(processSetup(pid, signal, id, device));
    }
    // Bluetooth headphones whose volume the system cannot set (software volume).
    ObjectId addSoftwareDevice() {
        auto setup = deviceSetup("bt", "BT Headphones", Transport::bluetooth);
        setup.output.hasVolume = false;
        return sim.addDevice(setup);
    }

    // Runs the audio clock for `seconds` and returns what `device` played at its loudest.
    float playPeak(ObjectId device, double seconds = 0.25) {
        sim.advance(static_cast<std::uint32_t>(seconds * sim.sampleRate()));
        return sim.peak(device);
    }
    // What `device` plays once the glides (`glide` seconds) have settled.
    float settledPeak(ObjectId device, double glide = 0.5) {
        playPeak(device, glide);
        return playPeak(device, 0.1);
    }

    void setDefaultOutput(ObjectId device) { setDefault(Role::output, device); }

    AppTap* tap(const std::string& id) {
        const auto it = engine->taps().find(id);
        return it == engine->taps().end() ? nullptr : it->second.get();
    }

    ObjectId own = 0, speakers = 0, headphones = 0;
};

} // namespace voxlane::test
