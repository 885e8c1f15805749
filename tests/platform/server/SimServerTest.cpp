// SPDX-License-Identifier: GPL-3.0-or-later
// What only the simulated server does, beyond the contract (contract/ServerContractTest.cpp) and
// what the engine, mic and permission tests measure on it (device volumes, locked controls,
// sounds, capture permission, global taps): muting at the source, stream usage, its faults.
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
using Channels = std::vector<std::uint32_t>;

// Speakers and an app playing on them; `rig` makes a tap of the app on an aggregate device over an
// output, with a render callback that notes the channels of each input buffer (0 for one without
// data).
class SimServerTest : public ::testing::Test, protected test::SimRig {
protected:
    struct TapRig {
        ServerHandle tap, aggregate, render;
        Channels inputChannels;
    };

    Subscription count(Change change, ObjectId object, int& fired) {
        return sim.subscribe(change, object, [&fired] { ++fired; });
    }

    std::unique_ptr<TapRig> rig(const std::string& uid = "speakers") {
        auto rig = std::make_unique<TapRig>();
        auto description = TapDescription::mixdownOf({app});
        description.uuid = "TAP-" + uid;
        description.muteBehavior = TapMute::mutedWhenTapped;
        rig->tap = sim.createTap(description);
        AggregateDescription aggregate;
        aggregate.uid = "agg-" + uid;
        aggregate.mainSubDevice = uid;
        aggregate.subDevices = {uid};
        aggregate.taps = {description.uuid};
        rig->aggregate = sim.createAggregate(aggregate);
        rig->inputChannels.reserve(8);
        auto* channels = &rig->inputChannels;
        rig->render = sim.createRender(
            rig->aggregate.object(), [channels](const BufferList& in, const BufferList&) {
                channels->clear();
                for (std::uint32_t b = 0; b < in.numberBuffers; ++b)
                    channels->push_back(in.buffers[b].data ? in.buffers[b].numberChannels : 0);
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
    EXPECT_EQ(muting->inputChannels, (Channels{2}));
    ASSERT_EQ(sim.stop(muting->render), ServerError::none);
    sim.advance(512);
    EXPECT_FALSE(sim.isMutedAtSource(app));
}

TEST_F(SimServerTest, InputsAreTheSubDevicesThenTheTapAndGoWithThemWhileTheRenderRuns) {
    const auto headset =
        sim.addDevice(deviceSetup("headset", "Headset", Transport::bluetooth, {2}, {1}));
    auto onHeadset = rig("headset");
    const ObjectId aggregate = onHeadset->aggregate.object();
    EXPECT_EQ(sim.device(aggregate)->inputStreams, (Channels{1, 2}));
    EXPECT_EQ(sim.device(aggregate)->outputStreams, (Channels{2}));
    sim.start(onHeadset->render);
    sim.advance(512);
    EXPECT_EQ(onHeadset->inputChannels, (Channels{1, 2}));

    EXPECT_EQ(sim.inputStreamUsage(onHeadset->render), (std::vector<bool>{true, true}));
    ASSERT_EQ(sim.setInputStreamUsage(onHeadset->render, {false, true}), ServerError::none);
    EXPECT_EQ(probes.streamUsage(aggregate), (std::vector<std::vector<bool>>{{false, true}}));
    sim.advance(512);
    EXPECT_EQ(onHeadset->inputChannels, (Channels{0, 2})); // data now null
    EXPECT_EQ(sim.setInputStreamUsage(onHeadset->render, {true}), ServerError::badValue);
    ASSERT_EQ(sim.setInputStreamUsage(onHeadset->render, {true, true}), ServerError::none);

    // The sub-device going leaves the tap's stream and the render running.
    sim.removeDevice(headset);
    sim.advance(512);
    EXPECT_EQ(probes.runningRenders(), 1u);
    EXPECT_EQ(onHeadset->inputChannels, (Channels{2}));
    EXPECT_TRUE(sim.device(aggregate)->outputStreams.empty());
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
