// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/MixerEngine.h"
#include "platform/Defaults.h"
#include "platform/SystemEvents.h"
#include "platform/SystemSounds.h"
#include "support/FakeKeyGrabber.h"
#include "support/FakeWorkspace.h"
#include "support/SimRig.h"

#include <gtest/gtest.h>
#include <memory>

namespace voxlane::test {

// A simulated machine for engine tests: the audio server, the main queue on a fake clock, an
// in-memory defaults store (or one the test hands in) and a fake keyboard. `start()` creates
// the engine; `settle()` lets pending notifications and the debounced refresh run.
struct EngineRig : SimRig {
    std::unique_ptr<Defaults> store = Defaults::inMemory();
    FakeWorkspace workspace;
    SystemSounds sounds{sim};
    SystemEvents systemEvents;
    FakeKeyGrabber keys;
    std::unique_ptr<MixerEngine> engine;

    MixerEngine& start(bool withKeys = true) {
        EngineServices services{sim,       scheduler, *store,
                                workspace, sounds,    systemEvents,
                                {},        {},        withKeys ? &keys : nullptr};
        engine = std::make_unique<MixerEngine>(std::move(services));
        return *engine;
    }

    // Runs what listeners posted and the refresh they scheduled (0.12 s later).
    void settle() { scheduler.advance(0.2); }

    // A default device as the server holds it (not counted as a call).
    ObjectId defaultDevice(Role role) const { return sim.model().defaultFor(role); }
    // The system changing a default on its own (or the user in the system settings).
    void setDefault(Role role, ObjectId id) {
        ASSERT_EQ(sim.setDefaultDevice(role, id), ServerError::none);
    }
};

} // namespace voxlane::test
