// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Log.h"
#include "support/EngineFixture.h"

namespace voxlane {
namespace {

// Every audio server call that the engine makes while it starts, refreshes and reconciles is
// made to fail, one at a time: nothing crashes, and once the engine is gone no tap, aggregate
// device, IO procedure or listener of it is left on the server.
class FaultSweepTest : public test::EngineFixture {
protected:
    void SetUp() override {
        setDefaultOutput(addSoftwareDevice()); // software volume: the global tap runs too
        addApp(2001, "org.example.Music", "Music");
        addApp(2002, "org.example.Radio", "Radio");
        store->setValue("appSettings", {{"org.example.Music", {{"volume", 0.5}}}});
    }

    // Start-up, refreshes, per-app changes, panel and master changes, teardown.
    void scenario() {
        start();
        engine->setMetering(true);
        scheduler.advance(0.2);
        engine->setVolume(1.5f, "org.example.Radio");
        engine->toggleMute("org.example.Music");
        engine->setOutput("headphones", "org.example.Radio");
        engine->setMasterVolume(0.5f);
        sim.advance(2048);
        sim.addProcess(test::processSetup(2003, SimServer::Signal::sine(0.1f), "org.example.Late"));
        settle();
        engine->setMetering(false);
        engine->reset("org.example.Radio");
        engine->refreshNow();
        systemEvents.post(SystemEvent::willTerminate);
        engine.reset();
        scheduler.runPending();
    }

    std::size_t totalCalls() const {
        std::size_t total = 0;
        for (int op = 1; op < int(ServerCore::Operation::count_); ++op)
            total += probes.calls(ServerCore::Operation(op));
        return total;
    }
};

TEST_F(FaultSweepTest, NoFailingCallCrashesOrLeaks) {
    Log::Capture quiet; // the failures are logged; keep them out of the test output
    scenario();
    const std::size_t calls = totalCalls();
    ASSERT_GT(calls, 100u);
    ASSERT_EQ(probes.liveTaps() + probes.liveAggregates() + probes.liveRenders(), 0u);
    const std::size_t listeners = probes.liveSubscriptions();

    for (std::size_t k = 0; k < calls; ++k) {
        SimServer::Fault f = // the k-th call of the scenario fails
            test::fault(ServerCore::Operation::any, ServerError::failed, std::nullopt, 1);
        f.skip = static_cast<int>(k);
        probes.injectFault(f);
        scenario();
        probes.clearFaults();
        EXPECT_EQ(std::tuple(probes.liveTaps(), probes.liveAggregates(), probes.liveRenders(),
                             probes.liveSubscriptions()),
                  std::tuple(0u, 0u, 0u, listeners))
            << "call " << k;
        if (HasFailure()) break;
    }
}

} // namespace
} // namespace voxlane
