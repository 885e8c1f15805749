// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/AppTap.h"

#include "platform/AppIdentifier.h"
#include "support/AllocationCounter.h"
#include "support/SimRig.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::deviceSetup;
using test::processSetup;
using Mode = AppTap::Mode;
using Op = SimServer::Operation;
using Signal = SimServer::Signal;

class AppTapTest : public ::testing::Test, protected test::SimRig {
protected:
    ObjectId speakers = sim.addDevice(deviceSetup("speakers", "Speakers"));
    ObjectId app = sim.addProcess(processSetup(100, Signal::sine(0.5f), "org.music"));

    void expectNothingLeft() {
        EXPECT_EQ(probes.liveTaps(), 0u);
        EXPECT_EQ(probes.liveAggregates(), 0u);
        EXPECT_EQ(probes.liveRenders(), 0u);
    }
};

TEST_F(AppTapTest, ProcessModeReplacesTheAppByItsProcessedAudio) {
    {
        AppTap tap(sim, {app}, std::nullopt, "speakers", Mode::process, 0.25f);
        sim.advance(48000); // past the look-ahead and the fade-in
        sim.advance(4800);
        EXPECT_NEAR(sim.peak(speakers), 0.125f, 2e-3);
        EXPECT_TRUE(sim.isMutedAtSource(app));
        EXPECT_EQ(sim.processAudiblePeak(app), 0.0f);

        // The engine's gain change reaches the running tap.
        tap.state().store(TapState::targetGain, 0.5f);
        sim.advance(4800);
        sim.advance(4800);
        EXPECT_NEAR(sim.peak(speakers), 0.25f, 2e-3);
        EXPECT_EQ(probes.runningRenders(), 1u);
    }
    // Dropping the tap tears everything down and the app is heard as before.
    expectNothingLeft();
    sim.advance(4800);
    EXPECT_FALSE(sim.isMutedAtSource(app));
    EXPECT_NEAR(sim.peak(speakers), 0.5f, 2e-3);
}

TEST_F(AppTapTest, MeterModeLeavesTheAppAudibleAndMeasuresIt) {
    AppTap tap(sim, {app}, std::nullopt, "speakers", Mode::meter, 0.25f);
    sim.advance(4800);
    EXPECT_FALSE(sim.isMutedAtSource(app));
    EXPECT_NEAR(sim.peak(speakers), 0.5f, 2e-3); // untouched, and nothing added
    EXPECT_NEAR(tap.state().load(TapState::peakLevel), 0.5f, 2e-3);
    EXPECT_EQ(tap.state().framesProcessed(), 0);
}

TEST_F(AppTapTest, DescribesItsTapAndPrivateAggregateDevice) {
    const auto other = sim.addProcess(processSetup(101, Signal::silence()));
    AppTap tap(sim, {app, other}, std::nullopt, "speakers", Mode::process, 1.0f);
    const auto tapDescription = probes.tapDescription(tap.tapID());
    ASSERT_TRUE(tapDescription);
    EXPECT_FALSE(tapDescription->isExclusive);
    EXPECT_EQ(tapDescription->processes, (std::vector<ObjectId>{app, other}));
    EXPECT_EQ(tapDescription->muteBehavior, TapMute::mutedWhenTapped);

    const auto aggregate = probes.aggregateDescription(tap.aggregateID());
    ASSERT_TRUE(aggregate);
    EXPECT_TRUE(aggregate->uid.starts_with(std::string(AppIdentifier) + ".aggregate."));
    EXPECT_EQ(aggregate->mainSubDevice, "speakers");
    EXPECT_EQ(aggregate->subDevices, std::vector<std::string>{"speakers"});
    EXPECT_EQ(aggregate->taps, std::vector<std::string>{tapDescription->uuid});

    // A second tap on the same device gets its own aggregate device UID.
    AppTap second(sim, {app}, std::nullopt, "speakers", Mode::meter, 1.0f);
    EXPECT_NE(probes.aggregateDescription(second.aggregateID())->uid, aggregate->uid);
    EXPECT_EQ(probes.tapDescription(second.tapID())->muteBehavior, TapMute::unmuted);
}

TEST_F(AppTapTest, GlobalTapsHearEverythingButTheExcluded) {
    AppTap all(sim, {}, std::nullopt, "speakers", Mode::meter, 1.0f);
    EXPECT_TRUE(probes.tapDescription(all.tapID())->isExclusive);
    EXPECT_TRUE(probes.tapDescription(all.tapID())->processes.empty());
    AppTap allToo(sim, {}, std::vector<ObjectId>{}, "speakers", Mode::meter, 1.0f);
    EXPECT_TRUE(probes.tapDescription(allToo.tapID())->isExclusive);
    AppTap butApp(sim, {app}, std::vector<ObjectId>{app}, "speakers", Mode::meter, 1.0f);
    EXPECT_EQ(probes.tapDescription(butApp.tapID())->processes, std::vector<ObjectId>{app});
    EXPECT_TRUE(probes.tapDescription(butApp.tapID())->isExclusive);
    sim.advance(4800);
    EXPECT_NEAR(all.state().load(TapState::peakLevel), 0.5f, 2e-3);
    EXPECT_EQ(butApp.state().load(TapState::peakLevel), 0.0f);
}

struct FailingStep {
    Op operation;
    const char* what;
};

class AppTapFailure : public AppTapTest, public ::testing::WithParamInterface<FailingStep> {};

TEST_P(AppTapFailure, AFailingStepThrowsItsNameAndLeavesNothingBehind) {
    SimServer::Fault fault;
    fault.operation = GetParam().operation;
    fault.error = ServerError::notPermitted;
    probes.injectFault(fault);
    try {
        AppTap tap(sim, {app}, std::nullopt, "speakers", Mode::process, 1.0f);
        FAIL() << "construction succeeded";
    } catch (const AudioError& error) {
        EXPECT_EQ(error.what, GetParam().what);
        EXPECT_EQ(error.error, ServerError::notPermitted);
    }
    expectNothingLeft();
    EXPECT_EQ(probes.runningRenders(), 0u);
    sim.advance(4800);
    EXPECT_FALSE(sim.isMutedAtSource(app));
}

std::string stepName(const ::testing::TestParamInfo<FailingStep>& info) {
    static const char* const names[] = {"Tap", "Aggregate", "Render", "Start"};
    return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(EachStep, AppTapFailure,
                         ::testing::Values(FailingStep{Op::createTap, "Tap erstellen"},
                                           FailingStep{Op::createAggregate,
                                                       "Aggregate Device erstellen"},
                                           FailingStep{Op::createRender, "IOProc erstellen"},
                                           FailingStep{Op::startRender, "Wiedergabe starten"}),
                         stepName);

TEST_F(AppTapTest, InvalidateIsIdempotentAndStopsBeforeDestroying) {
    AppTap tap(sim, {app}, std::nullopt, "speakers", Mode::process, 1.0f);
    tap.invalidate();
    expectNothingLeft();
    EXPECT_EQ(tap.tapID(), 0u);
    EXPECT_EQ(tap.aggregateID(), 0u);
    EXPECT_FALSE(tap.render());
    const auto destroys = probes.calls(Op::destroyTap) + probes.calls(Op::destroyAggregate);
    tap.invalidate();
    EXPECT_EQ(probes.calls(Op::destroyTap) + probes.calls(Op::destroyAggregate), destroys);
    EXPECT_EQ(probes.calls(Op::stopRender), 1u);
    EXPECT_EQ(probes.calls(Op::destroyRender), 1u);
}

TEST_F(AppTapTest, KeepsTheOutputDevicesOwnInputsClosed) {
    sim.addDevice(deviceSetup("headset", "Headset", Transport::bluetooth, {2}, {1}));
    AppTap onHeadset(sim, {app}, std::nullopt, "headset", Mode::process, 1.0f);
    using Usage = std::vector<std::vector<bool>>;
    EXPECT_EQ(probes.streamUsage(onHeadset.aggregateID()), (Usage{{false, true}}));
    AppTap onSpeakers(sim, {app}, std::nullopt, "speakers", Mode::process, 1.0f);
    EXPECT_EQ(probes.streamUsage(onSpeakers.aggregateID()), (Usage{{true}}));

    // The stream usage is best effort: a refused read leaves every stream on.
    probes.injectFault(test::fault(Op::renderInputs));
    AppTap refused(sim, {app}, std::nullopt, "headset", Mode::process, 1.0f);
    EXPECT_EQ(probes.streamUsage(refused.aggregateID()), (Usage{{true, true}}));
}

TEST_F(AppTapTest, TapStateFollowsTheOutputDevicesRate) {
    auto slow = deviceSetup("cd", "CD");
    slow.sampleRate = 44100;
    sim.addDevice(slow);
    AppTap onCD(sim, {app}, std::nullopt, "cd", Mode::process, 1.0f);
    EXPECT_EQ(onCD.state().sampleRate(), 44100.0);
    EXPECT_EQ(onCD.state().lookahead(), 66); // 1.5 ms at its rate
    AppTap nowhere(sim, {app}, std::nullopt, "gone", Mode::process, 1.0f);
    EXPECT_EQ(nowhere.state().sampleRate(), 48000.0);
}

TEST_F(AppTapTest, NonInterleavedTapsFeedBothChannels) {
    sim.setTapsNonInterleaved(true);
    AppTap tap(sim, {app}, std::nullopt, "speakers", Mode::process, 0.25f);
    EXPECT_EQ(sim.tapFormat(tap.tapID()), (StreamFormat{48000, 2, false})); // two mono buffers
    sim.advance(48000);
    const auto samples = sim.lastSamples(speakers);
    ASSERT_FALSE(samples.empty());
    float left = 0, right = 0;
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
        left = std::max(left, std::abs(samples[i]));
        right = std::max(right, std::abs(samples[i + 1]));
    }
    EXPECT_NEAR(left, 0.125f, 2e-3);
    EXPECT_NEAR(right, 0.125f, 2e-3);
}

TEST_F(AppTapTest, TheAudioPathAllocatesNothing) {
    AppTap tap(sim, {app}, std::nullopt, "speakers", Mode::process, 0.25f);
    sim.advance(512);
    test::AllocationCounter allocations;
    sim.advance(48000);
    EXPECT_EQ(allocations.count(), 0u);
}

} // namespace
} // namespace voxlane
