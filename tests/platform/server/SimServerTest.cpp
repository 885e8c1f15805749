// SPDX-License-Identifier: GPL-3.0-or-later
// What only the simulated server does: its audio (what each device plays, muting at the
// source, stream usage), the model it publishes as its world changes, its faults and probes.
// What it shares with PipeWire is in contract/ServerContractTest.cpp; its mono tap buffers are
// checked through AppTapTest.
#include "platform/server/SimServer.h"

#include "support/AllocationCounter.h"
#include "support/SimRig.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace voxlane {
namespace {

using test::deviceSetup;
using test::fault;
using test::processSetup;
using Operation = ServerCore::Operation;
using Signal = SimServer::Signal;

class SimServerTest : public ::testing::Test, protected test::SimRig {
protected:
    Subscription count(Change change, ObjectId object, int& fired) {
        return sim.subscribe(change, object, [&fired] { ++fired; });
    }
};

// An aggregate device on `outputUid` carrying one tap of `processes`, with a render callback
// that writes the first tap channel times `gain` to every output channel and notes the
// channels of the input buffers that carry data.
struct TapRig {
    ServerHandle tap;
    ServerHandle aggregate;
    ServerHandle render;
    std::vector<std::uint32_t> inputChannels;
};

std::unique_ptr<TapRig> buildRig(SimServer& sim, std::vector<ObjectId> processes,
                                 const std::string& outputUid, TapMute mute, float gain) {
    auto rig = std::make_unique<TapRig>();
    auto description = TapDescription::mixdownOf(std::move(processes));
    description.uuid = "TAP-" + outputUid;
    description.muteBehavior = mute;
    rig->tap = sim.createTap(description);
    AggregateDescription aggregate;
    aggregate.uid = "agg-" + outputUid;
    aggregate.mainSubDevice = outputUid;
    aggregate.subDevices = {outputUid};
    aggregate.taps = {description.uuid};
    rig->aggregate = sim.createAggregate(aggregate);
    auto* channels = &rig->inputChannels;
    channels->reserve(8);
    rig->render = sim.createRender(
        rig->aggregate.object(), [gain, channels](const BufferList& in, const BufferList& out) {
            channels->clear();
            for (std::uint32_t b = 0; b < in.numberBuffers; ++b)
                channels->push_back(in.buffers[b].data ? in.buffers[b].numberChannels : 0);
            if (in.numberBuffers == 0 || out.numberBuffers == 0) return;
            const AudioBuffer& tap = in.buffers[in.numberBuffers - 1];
            if (!tap.data) return;
            const auto* src = static_cast<const float*>(tap.data);
            const std::uint32_t frames = tap.dataByteSize / (4 * tap.numberChannels);
            auto* dst = static_cast<float*>(out.buffers[0].data);
            const std::uint32_t c = out.buffers[0].numberChannels;
            for (std::uint32_t i = 0; i < frames; ++i)
                for (std::uint32_t j = 0; j < c; ++j)
                    dst[i * c + j] = src[i * tap.numberChannels] * gain;
        });
    EXPECT_TRUE(rig->tap && rig->aggregate && rig->render);
    return rig;
}

TEST_F(SimServerTest, DefaultsMoveOnWhenTheirDeviceGoesAndEqualWritesNotifyNobody) {
    const auto speakers = sim.addDevice(deviceSetup("speakers", "Speakers"));
    const auto headset =
        sim.addDevice(deviceSetup("headset", "Headset", Transport::bluetooth, {2}, {1}));
    scheduler.runPending();
    int defaults = 0, volume = 0;
    const auto a = count(Change::defaults, noObject, defaults);
    const auto b = count(Change::volume, speakers, volume);
    EXPECT_EQ(sim.setDefaultDevice(Role::output, speakers), ServerError::none);
    EXPECT_EQ(sim.setVolume(speakers, Side::output, 1.0f), ServerError::none);
    scheduler.runPending();
    EXPECT_EQ(defaults, 0);
    EXPECT_EQ(volume, 0);
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
}

TEST_F(SimServerTest, DevicesPlayTheirProcessesAtTheirVolumeAndFlagsLockControls) {
    const auto speakers = sim.addDevice(deviceSetup("speakers", "Speakers"));
    const auto usb = sim.addDevice(deviceSetup("usb", "USB"));
    auto tv = deviceSetup("hdmi", "TV", Transport::hdmi);
    tv.output.hasVolume = false;
    const auto fixed = sim.addDevice(tv);
    EXPECT_FALSE(sim.control(fixed, Side::output)->volume);
    EXPECT_EQ(sim.setVolume(fixed, Side::output, 0.5f), ServerError::unsupported);
    const auto music = sim.addProcess(processSetup(100, Signal::square(0.8f), "org.music"));
    sim.addProcess(processSetup(200, Signal::square(0.25f), std::nullopt, usb));
    EXPECT_EQ(sim.process(music)->appId, "org.music");

    ASSERT_EQ(sim.setVolume(speakers, Side::output, 0.5f), ServerError::none);
    EXPECT_EQ(sim.deviceVolume(speakers), 0.5f);
    sim.advance(512);
    EXPECT_FLOAT_EQ(sim.peak(speakers), 0.4f);
    EXPECT_FLOAT_EQ(sim.peak(usb), 0.25f);
    EXPECT_EQ(sim.lastSamples(usb).size(), 2u * 512);
    sim.setMute(speakers, Side::output, true);
    sim.advance(512);
    EXPECT_EQ(sim.peak(speakers), 0.0f);
    sim.setMute(speakers, Side::output, false);
    sim.setProcessRunning(music, false, false);
    sim.advance(512);
    EXPECT_EQ(sim.peak(speakers), 0.0f);

    auto mic = deviceSetup("locked", "Locked", Transport::usb, {}, {1});
    mic.input.muteSettable = false;
    mic.input.volume = 0.7f;
    const auto locked = sim.addDevice(mic);
    EXPECT_FALSE(sim.control(locked, Side::input)->muteSettable);
    EXPECT_EQ(sim.setMute(locked, Side::input, true), ServerError::notPermitted);
    EXPECT_FALSE(sim.deviceMuted(locked, Side::input));
    EXPECT_EQ(sim.setVolume(locked, Side::input, 2.0f), ServerError::none); // clamped
    EXPECT_EQ(sim.deviceVolume(locked, Side::input), 1.0f);
    EXPECT_EQ(sim.deviceVolume(locked, Side::output), 1.0f); // the other side is untouched
}

TEST_F(SimServerTest, WorldChangesReachTheirSubscribers) {
    // A subscription hears only of changes made after it, also while earlier ones are pending.
    const auto app = sim.addProcess(processSetup(100, Signal::sine(0.5f)));
    int late = 0;
    const auto l = count(Change::processes, noObject, late);
    scheduler.runPending();
    EXPECT_EQ(late, 0);
    int running = 0, connection = 0, processes = 0;
    const auto a = count(Change::running, app, running);
    const auto b = count(Change::connection, noObject, connection);
    const auto c = count(Change::processes, noObject, processes);
    sim.setProcessRunning(app, true, true);
    sim.setProcessRunning(app, true, true); // no change: no second notification
    scheduler.runPending();
    EXPECT_EQ(running, 1);
    EXPECT_TRUE(sim.process(app)->recording);

    sim.setServerConnected(false);
    EXPECT_FALSE(sim.connected());
    sim.removeProcess(app);
    scheduler.runPending();
    EXPECT_EQ(connection, 1);
    EXPECT_EQ(processes, 1);
    EXPECT_EQ(running, 2); // the process went
    sim.setServerConnected(true);
    scheduler.runPending();
    EXPECT_EQ(connection, 2);
}

TEST_F(SimServerTest, TapsMuteAtTheSourceOnlyWhileReadAndOnlyWithThatBehaviour) {
    const auto speakers = sim.addDevice(deviceSetup("speakers", "Speakers"));
    const auto app = sim.addProcess(processSetup(100, Signal::square(0.5f)));
    auto rig = buildRig(sim, {app}, "speakers", TapMute::mutedWhenTapped, 0.25f);
    sim.advance(512); // not read yet: the app is heard as it is
    EXPECT_FALSE(sim.isMutedAtSource(app));
    EXPECT_FLOAT_EQ(sim.peak(speakers), 0.5f);

    ASSERT_EQ(sim.start(rig->render), ServerError::none);
    sim.advance(512);
    EXPECT_TRUE(sim.isMutedAtSource(app));
    EXPECT_EQ(sim.processAudiblePeak(app), 0.0f);
    EXPECT_FLOAT_EQ(sim.peak(speakers), 0.125f);
    // Without the permission to capture, the tap delivers silence.
    sim.setCaptureAllowed(false);
    sim.advance(512);
    EXPECT_EQ(sim.peak(speakers), 0.0f);
    sim.setCaptureAllowed(true);
    ASSERT_EQ(sim.stop(rig->render), ServerError::none);
    sim.advance(512);
    EXPECT_FALSE(sim.isMutedAtSource(app));
    EXPECT_FLOAT_EQ(sim.peak(speakers), 0.5f);
    rig.reset();

    // An unmuted tap lets the app play beside the processed signal.
    auto beside = buildRig(sim, {app}, "speakers", TapMute::unmuted, 0.25f);
    sim.start(beside->render);
    sim.advance(512);
    EXPECT_FALSE(sim.isMutedAtSource(app));
    EXPECT_FLOAT_EQ(sim.peak(speakers), 0.625f);
}

TEST_F(SimServerTest, InputListCarriesSubDeviceInputsThenTapAndHonoursStreamUsage) {
    sim.addDevice(deviceSetup("headset", "Headset", Transport::bluetooth, {2}, {1}));
    const auto app = sim.addProcess(processSetup(100, Signal::square(0.5f)));
    auto rig = buildRig(sim, {app}, "headset", TapMute::mutedWhenTapped, 1.0f);
    const auto aggregate = sim.device(rig->aggregate.object());
    ASSERT_TRUE(aggregate);
    EXPECT_EQ(aggregate->inputStreams, (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(aggregate->outputStreams, (std::vector<std::uint32_t>{2}));
    sim.start(rig->render);
    sim.advance(512);
    EXPECT_EQ(rig->inputChannels, (std::vector<std::uint32_t>{1, 2}));

    EXPECT_EQ(sim.inputStreamUsage(rig->render), (std::vector<bool>{true, true}));
    ASSERT_EQ(sim.setInputStreamUsage(rig->render, {false, true}), ServerError::none);
    EXPECT_EQ(probes.streamUsage(rig->aggregate.object()),
              (std::vector<std::vector<bool>>{{false, true}}));
    sim.advance(512);
    EXPECT_EQ(rig->inputChannels, (std::vector<std::uint32_t>{0, 2})); // data now null
    // A usage list that does not fit the streams is refused.
    EXPECT_EQ(sim.setInputStreamUsage(rig->render, {true}), ServerError::badValue);

    // The tap leaving the aggregate device takes its stream away.
    rig->tap.reset();
    EXPECT_EQ(sim.device(rig->aggregate.object())->inputStreams, (std::vector<std::uint32_t>{1}));
    sim.advance(512);
    EXPECT_EQ(rig->inputChannels, (std::vector<std::uint32_t>{1}));
}

// How FaultSweepTest fails the k-th call, and how a fault hits one object only. (Faults used
// up after some calls, and the counters of live objects, serve every engine test.)
TEST_F(SimServerTest, FaultsSkipCallsOrHitOneObject) {
    const auto speakers = sim.addDevice(deviceSetup("speakers", "Speakers"));
    const auto app = sim.addProcess(processSetup(100, Signal::sine(0.5f)));
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

TEST_F(SimServerTest, SoundsPlayOnceOnTheAlertDeviceAndGlobalTapsHearThem) {
    const auto speakers = sim.addDevice(deviceSetup("speakers", "Speakers"));
    const auto headphones = sim.addDevice(deviceSetup("headphones", "Headphones"));
    auto description = TapDescription::allExcept({});
    description.uuid = "GLOBAL";
    auto tap = sim.createTap(description);
    AggregateDescription agg;
    agg.uid = "agg";
    agg.mainSubDevice = "speakers";
    agg.subDevices = {"speakers"};
    agg.taps = {"GLOBAL"};
    auto aggregate = sim.createAggregate(agg);
    float heard = 0;
    auto render =
        sim.createRender(aggregate.object(), [&heard](const BufferList& in, const BufferList&) {
            const AudioBuffer& b = in.buffers[in.numberBuffers - 1];
            for (std::uint32_t i = 0; i < b.dataByteSize / 4; ++i)
                heard = std::max(heard, std::abs(static_cast<const float*>(b.data)[i]));
        });
    sim.start(render);

    auto samples = std::make_shared<std::vector<float>>(1000, 1.0f);
    ASSERT_EQ(sim.playSound("tick", samples, 0.08f), ServerError::none);
    sim.advance(2048);
    EXPECT_FLOAT_EQ(heard, 0.08f);
    EXPECT_FLOAT_EQ(sim.peak(speakers), 0.08f);
    ASSERT_EQ(sim.playedSounds().size(), 1u);
    EXPECT_EQ(sim.playedSounds()[0].name, "tick");
    EXPECT_EQ(sim.playedSounds()[0].device, speakers);
    sim.advance(2048); // played once only
    EXPECT_EQ(sim.peak(speakers), 0.0f);

    // A chosen alert device plays the sounds, not the output.
    sim.setDefaultDevice(Role::alerts, headphones);
    sim.playSound("pop", samples, 0.5f);
    sim.advance(2048);
    EXPECT_FLOAT_EQ(sim.peak(headphones), 0.5f);
    EXPECT_EQ(sim.peak(speakers), 0.0f);
}

TEST_F(SimServerTest, AdvanceAllocatesNothingOnceObjectsExist) {
    const auto speakers = sim.addDevice(deviceSetup("speakers", "Speakers"));
    const auto app = sim.addProcess(processSetup(100, Signal::sine(0.5f)));
    auto rig = buildRig(sim, {app}, "speakers", TapMute::mutedWhenTapped, 0.5f);
    sim.start(rig->render);
    sim.advance(512);
    {
        test::AllocationCounter allocations;
        sim.advance(48000);
        EXPECT_EQ(allocations.count(), 0u);
    }
    EXPECT_NEAR(sim.peak(speakers), 0.25f, 1e-3);
}

// The audio clock on one thread, a worker making taps and writing (as the permission probe
// does) on another, reads and notifications on the main thread: nothing deadlocks, and the
// world ends as the last writes left it.
TEST_F(SimServerTest, TheAudioClockWorkersAndTheMainThreadShareTheServer) {
    const auto speakers = sim.addDevice(deviceSetup("speakers", "Speakers"));
    const auto app = sim.addProcess(processSetup(100, Signal::sine(0.5f)));
    auto rig = buildRig(sim, {app}, "speakers", TapMute::mutedWhenTapped, 1.0f);
    sim.start(rig->render);
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

TEST_F(SimServerTest, AnAggregateWhoseSubDeviceGoesPlaysNowhereAndKeepsRunning) {
    const auto speakers = sim.addDevice(deviceSetup("speakers", "Speakers"));
    const auto app = sim.addProcess(processSetup(101, Signal::square(0.5f)));
    auto rig = buildRig(sim, {app}, "speakers", TapMute::mutedWhenTapped, 1.0f);
    sim.start(rig->render);
    // A subscription on a vanished object stays until its owner drops it.
    int fired = 0;
    auto subscription = count(Change::mute, speakers, fired);
    const auto before = probes.liveSubscriptions();
    sim.removeDevice(speakers);
    sim.advance(512);
    EXPECT_EQ(probes.runningRenders(), 1u);
    EXPECT_EQ(rig->inputChannels, (std::vector<std::uint32_t>{2})); // only the tap is left
    EXPECT_EQ(sim.device(rig->aggregate.object())->outputStreams.size(), 0u);
    EXPECT_EQ(probes.liveSubscriptions(), before);
    subscription.reset();
    EXPECT_EQ(probes.liveSubscriptions(), before - 1);
}

} // namespace
} // namespace voxlane
