// SPDX-License-Identifier: GPL-3.0-or-later
// What only the simulated server does beyond the contract and what the engine, mic and permission
// tests measure on it (volumes, locked controls, sounds, permission, global taps, stream usage).
#include "platform/server/SimServer.h"

#include "support/AllocationCounter.h"
#include "support/SimRig.h"

#include <gtest/gtest.h>
#include <thread>

namespace voxlane {
namespace {

using test::deviceSetup;
using test::fault;
using test::processSetup;
using Operation = ServerCore::Operation;
using Signal = SimServer::Signal;

// Speakers and an app playing on them; `rig` makes a muting tap of the app on an aggregate device
// over the speakers, with a render callback that notes whether the tap's buffer had data.
class SimServerTest : public ::testing::Test, protected test::SimRig {
protected:
    struct TapRig {
        ServerHandle tap, aggregate, render;
        bool tapData = false;
    };

    Subscription count(Change change, ObjectId object, int& fired) {
        return sim.subscribe(change, object, [&fired] { ++fired; });
    }

    std::unique_ptr<TapRig> rig() {
        auto rig = std::make_unique<TapRig>();
        auto description = TapDescription::mixdownOf({app});
        description.uuid = "TAP";
        description.muteBehavior = TapMute::mutedWhenTapped;
        rig->tap = sim.createTap(description);
        AggregateDescription aggregate;
        aggregate.uid = "agg";
        aggregate.mainSubDevice = "speakers";
        aggregate.subDevices = {"speakers"};
        aggregate.taps = {"TAP"};
        rig->aggregate = sim.createAggregate(aggregate);
        rig->render = sim.createRender(
            rig->aggregate.object(), [r = rig.get()](const BufferList& in, const BufferList&) {
                r->tapData = in.numberBuffers && in.buffers[in.numberBuffers - 1].data;
            });
        EXPECT_TRUE(rig->tap && rig->aggregate && rig->render);
        return rig;
    }

    const ObjectId speakers = sim.addDevice(deviceSetup("speakers", "Speakers"));
    const ObjectId app = sim.addProcess(processSetup(100, Signal::square(0.5f)));
};

TEST_F(SimServerTest, ChangesReachLaterSubscribersOnceAndGoneDefaultsMoveOn) {
    // A subscription hears only of changes made after it, also while earlier ones are pending
    // (the app, the headset becoming the default input).
    const auto headset =
        sim.addDevice(deviceSetup("headset", "Headset", Transport::bluetooth, {2}, {1}));
    int processes = 0, defaults = 0, volume = 0, running = 0;
    const std::vector<Subscription> subscriptions{
        count(Change::processes, noObject, processes), count(Change::defaults, noObject, defaults),
        count(Change::volume, speakers, volume), count(Change::running, app, running)};
    scheduler.runPending();
    EXPECT_EQ(processes + defaults, 0);
    // Writes that change nothing notify nobody.
    EXPECT_EQ(sim.setDefaultDevice(Role::output, speakers), ServerError::none);
    EXPECT_EQ(sim.setVolume(speakers, Side::output, 1.0f), ServerError::none);
    sim.setProcessRunning(app, true, true);
    sim.setProcessRunning(app, true, true);
    scheduler.runPending();
    EXPECT_EQ(defaults + volume, 0);
    EXPECT_EQ(running, 1);
    EXPECT_TRUE(sim.process(app)->recording);

    // The first input device became the default input; a gone default output moves on.
    EXPECT_EQ(sim.defaultDevice(Role::input), headset);
    EXPECT_EQ(sim.defaultDevice(Role::alerts), speakers);
    sim.removeDevice(speakers);
    EXPECT_EQ(sim.defaultDevice(Role::output), headset);
    EXPECT_EQ(sim.defaultDevice(Role::alerts), headset);
    scheduler.runPending();
    EXPECT_EQ(defaults, 1);
    sim.removeDevice(headset);
    EXPECT_EQ(sim.defaultDevice(Role::output), noObject);
    EXPECT_EQ(sim.defaultDevice(Role::input), noObject);

    sim.removeProcess(app);
    scheduler.runPending();
    EXPECT_EQ(running, 2); // the process went
}

// (What the processed and the unmuted app sound like is AppTapTest's.)
TEST_F(SimServerTest, TapsMuteAtTheSourceOnlyWhileReadAndAdvancingAllocatesNothing) {
    auto muting = rig();
    sim.advance(512); // not read yet: the app is heard as it is
    EXPECT_FALSE(sim.isMutedAtSource(app));
    ASSERT_EQ(sim.start(muting->render), ServerError::none);
    sim.advance(512);
    {
        test::AllocationCounter allocations;
        sim.advance(48000);
        EXPECT_EQ(allocations.count(), 0u);
    }
    EXPECT_EQ(sim.processAudiblePeak(app), 0.0f);
    EXPECT_TRUE(muting->tapData);
    ASSERT_EQ(sim.stop(muting->render), ServerError::none);
    sim.advance(512);
    EXPECT_FALSE(sim.isMutedAtSource(app));
}

// How FaultSweepTest fails the k-th call, and how a fault hits one object only. (Faults used
// up after some calls, and the counters of live objects, serve every engine test.)
TEST_F(SimServerTest, FaultsSkipCallsOrHitOneObject) {
    auto skipped = fault(Operation::any, ServerError::failed, std::nullopt, 1);
    skipped.skip = 2;
    probes.injectFault(skipped);
    EXPECT_TRUE(sim.connected());
    EXPECT_TRUE(sim.process(app));
    EXPECT_EQ(sim.processOf(100), noObject);
    EXPECT_EQ(sim.processOf(100), app);

    // The object's reads answer empty, its writes fail; the others are untouched.
    probes.injectFault(fault(Operation::any, ServerError::failed, speakers));
    EXPECT_FALSE(sim.device(speakers));
    EXPECT_FALSE(sim.control(speakers, Side::output));
    EXPECT_EQ(sim.setMute(speakers, Side::output, true), ServerError::failed);
    EXPECT_EQ(sim.devices(), std::vector<ObjectId>{speakers});
    EXPECT_TRUE(sim.process(app));
    probes.clearFaults();
    EXPECT_EQ(sim.device(speakers)->uid, "speakers");
}

// The audio clock on one thread, a worker making taps and writing (as the permission probe
// does) on another, reads and notifications on the main thread: nothing deadlocks, and the
// world ends as the last writes left it.
TEST_F(SimServerTest, TheAudioClockWorkersAndTheMainThreadShareTheServer) {
    auto tapRig = rig();
    sim.start(tapRig->render);
    int fired = 0;
    const auto subscription = count(Change::volume, speakers, fired);
    constexpr int rounds = 200;
    std::thread audio([&] {
        for (int i = 0; i < rounds; ++i)
            sim.advance(512);
    });
    std::thread worker([&] {
        for (int i = 0; i < rounds; ++i) {
            sim.setVolume(speakers, Side::output, i % 2 ? 0.5f : 1.0f);
            auto tap = sim.createTap(TapDescription::mixdownOf({app}));
            EXPECT_TRUE(tap && sim.tapFormat(tap.object()));
        }
    });
    for (int i = 0; i < rounds; ++i) {
        EXPECT_TRUE(sim.control(speakers, Side::output));
        scheduler.runPending();
    }
    audio.join();
    worker.join();
    scheduler.runPending();
    EXPECT_EQ(probes.liveTaps(), 1u);
    EXPECT_EQ(sim.control(speakers, Side::output)->volume, 0.5f);
    EXPECT_GT(fired, 0);
    EXPECT_TRUE(sim.isMutedAtSource(app));
}

} // namespace
} // namespace voxlane
