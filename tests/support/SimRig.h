// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ManualScheduler.h"
#include "platform/server/SimServer.h"
#include "support/SimObjects.h"
#include "support/SimProbes.h"

namespace voxlane::test {

// The simulated audio server on a main queue with a fake clock, and its probes: what the tests
// of the server, the audio layer, the microphone mute and the engine start from.
struct SimRig {
    ManualScheduler scheduler;
    SimServer sim{scheduler};
    SimProbes probes{sim};
};

} // namespace voxlane::test
