// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/MixerEngine.h"
#include "platform/Defaults.h"
#include "platform/ManualScheduler.h"
#include "platform/SystemEvents.h"
#include "platform/SystemSounds.h"
#include "platform/hal/SimHal.h"
#include "support/FakeKeyGrabber.h"
#include "support/FakeWorkspace.h"
#include "support/SimObjects.h"

#include <gtest/gtest.h>
#include <memory>

namespace voxlane::test {

// A simulated machine for engine tests: the audio server, the main queue on a fake clock, an
// in-memory defaults store (or one the test hands in) and a fake keyboard. `start()` creates
// the engine; `settle()` lets pending notifications and the debounced refresh run.
struct EngineRig {
    ManualScheduler scheduler;
    SimHal hal{scheduler};
    std::unique_ptr<Defaults> store = Defaults::inMemory();
    FakeWorkspace workspace;
    SystemSounds sounds{hal};
    SystemEvents systemEvents;
    FakeKeyGrabber keys;
    std::unique_ptr<MixerEngine> engine;

    MixerEngine& start(bool withKeys = true) {
        EngineServices services{.hal = hal,
                                .scheduler = scheduler,
                                .defaults = *store,
                                .workspace = workspace,
                                .sounds = sounds,
                                .systemEvents = systemEvents,
                                .sleep = {},
                                .runInBackground = {},
                                .keyGrabber = withKeys ? &keys : nullptr};
        engine = std::make_unique<MixerEngine>(std::move(services));
        return *engine;
    }

    // Runs what listeners posted and the refresh they scheduled (0.12 s later).
    void settle() { scheduler.advance(0.2); }

    AudioObjectID defaultDevice(AudioObjectPropertySelector which) const {
        return hal.defaultDevice(which);
    }
    // The system changing a default on its own (or the user in the system settings).
    void setDefault(AudioObjectPropertySelector which, AudioObjectID id) {
        ASSERT_EQ(hal.setPropertyData(
                      kAudioObjectSystemObject,
                      {which, kAudioObjectPropertyScopeGlobal, kAudioObjectPropertyElementMain}, 0,
                      nullptr, sizeof(id), &id),
                  0);
    }
};

} // namespace voxlane::test
