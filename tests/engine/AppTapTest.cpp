// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/AppTap.h"

#include "platform/AppIdentifier.h"
#include "platform/Log.h"
#include "platform/ManualScheduler.h"
#include "platform/hal/SimHal.h"
#include "support/AllocationCounter.h"
#include "support/SimObjects.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::deviceSetup;
using test::processSetup;
using Mode = AppTap::Mode;
using Op = SimHal::Operation;
using Signal = SimHal::Signal;

class AppTapTest : public ::testing::Test {
protected:
    ManualScheduler scheduler;
    SimHal hal{scheduler};
    AudioObjectID speakers = hal.addDevice(deviceSetup("speakers", "Speakers"));
    AudioObjectID app = hal.addProcess(processSetup(100, Signal::sine(0.5f), "org.music"));

    void expectNothingLeft() {
        EXPECT_EQ(hal.liveTaps(), 0u);
        EXPECT_EQ(hal.liveAggregateDevices(), 0u);
        EXPECT_EQ(hal.liveIOProcs(), 0u);
    }
};

TEST_F(AppTapTest, ProcessModeReplacesTheAppByItsProcessedAudio) {
    Log::Capture log;
    {
        AppTap tap(hal, {app}, std::nullopt, "speakers", Mode::process, 0.25f);
        hal.advance(48000); // past the look-ahead and the fade-in
        hal.advance(4800);
        EXPECT_NEAR(hal.peak(speakers), 0.125f, 2e-3);
        EXPECT_TRUE(hal.isMutedAtSource(app));
        EXPECT_EQ(hal.processAudiblePeak(app), 0.0f);

        // The engine's gain change reaches the running tap.
        tap.state().store(TapState::targetGain, 0.5f);
        hal.advance(4800);
        hal.advance(4800);
        EXPECT_NEAR(hal.peak(speakers), 0.25f, 2e-3);
        EXPECT_EQ(hal.runningIOProcs(), 1u);
    }
    // Dropping the tap tears everything down and the app is heard as before.
    expectNothingLeft();
    hal.advance(4800);
    EXPECT_FALSE(hal.isMutedAtSource(app));
    EXPECT_NEAR(hal.peak(speakers), 0.5f, 2e-3);
    ASSERT_EQ(log.messages("tap").size(), 1u);
    EXPECT_EQ(log.messages("tap")[0], "Tap läuft: 1 Prozesse → speakers");
    EXPECT_EQ(log.entries()[0].level, Log::Level::debug);
}

TEST_F(AppTapTest, MeterModeLeavesTheAppAudibleAndMeasuresIt) {
    AppTap tap(hal, {app}, std::nullopt, "speakers", Mode::meter, 0.25f);
    hal.advance(4800);
    EXPECT_FALSE(hal.isMutedAtSource(app));
    EXPECT_NEAR(hal.peak(speakers), 0.5f, 2e-3); // untouched, and nothing added
    EXPECT_NEAR(tap.state().load(TapState::peakLevel), 0.5f, 2e-3);
    EXPECT_EQ(tap.state().framesProcessed(), 0);
}

TEST_F(AppTapTest, DescribesItsTapAndPrivateAggregateDevice) {
    const auto other = hal.addProcess(processSetup(101, Signal::silence()));
    AppTap tap(hal, {app, other}, std::nullopt, "speakers", Mode::process, 1.0f);
    const auto tapDescription = hal.tapDescription(tap.tapID());
    ASSERT_TRUE(tapDescription);
    EXPECT_FALSE(tapDescription->isExclusive);
    EXPECT_EQ(tapDescription->processes, (std::vector<AudioObjectID>{app, other}));
    EXPECT_EQ(tapDescription->name, "Voxlane Tap");
    EXPECT_TRUE(tapDescription->isPrivate);
    EXPECT_EQ(tapDescription->muteBehavior, TapMute::mutedWhenTapped);
    EXPECT_EQ(tapDescription->uuid.size(), 36u);

    const auto aggregate = hal.aggregateDescription(tap.aggregateID());
    ASSERT_TRUE(aggregate);
    EXPECT_EQ(aggregate->name, "Voxlane");
    EXPECT_TRUE(aggregate->uid.starts_with(std::string(AppIdentifier) + ".aggregate."));
    EXPECT_EQ(aggregate->mainSubDevice, "speakers");
    EXPECT_TRUE(aggregate->isPrivate);
    EXPECT_FALSE(aggregate->isStacked);
    EXPECT_TRUE(aggregate->tapAutoStart);
    ASSERT_EQ(aggregate->subDevices.size(), 1u);
    EXPECT_EQ(aggregate->subDevices[0].uid, "speakers");
    ASSERT_EQ(aggregate->taps.size(), 1u);
    EXPECT_EQ(aggregate->taps[0].uid, tapDescription->uuid);
    EXPECT_TRUE(aggregate->taps[0].driftCompensation);

    // A second tap on the same device gets its own aggregate device UID.
    AppTap second(hal, {app}, std::nullopt, "speakers", Mode::meter, 1.0f);
    EXPECT_NE(hal.aggregateDescription(second.aggregateID())->uid, aggregate->uid);
    EXPECT_EQ(hal.tapDescription(second.tapID())->muteBehavior, TapMute::unmuted);
}

TEST_F(AppTapTest, GlobalTapsHearEverythingButTheExcluded) {
    AppTap all(hal, {}, std::nullopt, "speakers", Mode::meter, 1.0f);
    EXPECT_TRUE(hal.tapDescription(all.tapID())->isExclusive);
    EXPECT_TRUE(hal.tapDescription(all.tapID())->processes.empty());
    AppTap allToo(hal, {}, std::vector<AudioObjectID>{}, "speakers", Mode::meter, 1.0f);
    EXPECT_TRUE(hal.tapDescription(allToo.tapID())->isExclusive);
    AppTap butApp(hal, {app}, std::vector<AudioObjectID>{app}, "speakers", Mode::meter, 1.0f);
    EXPECT_EQ(hal.tapDescription(butApp.tapID())->processes, std::vector<AudioObjectID>{app});
    EXPECT_TRUE(hal.tapDescription(butApp.tapID())->isExclusive);
    hal.advance(4800);
    EXPECT_NEAR(all.state().load(TapState::peakLevel), 0.5f, 2e-3);
    EXPECT_EQ(butApp.state().load(TapState::peakLevel), 0.0f);
}

struct FailingStep {
    Op operation;
    const char* what;
};

class AppTapFailure : public AppTapTest, public ::testing::WithParamInterface<FailingStep> {};

TEST_P(AppTapFailure, AFailingStepThrowsItsNameAndLeavesNothingBehind) {
    SimHal::Fault fault;
    fault.operation = GetParam().operation;
    fault.status = -50;
    hal.injectFault(fault);
    try {
        AppTap tap(hal, {app}, std::nullopt, "speakers", Mode::process, 1.0f);
        FAIL() << "construction succeeded";
    } catch (const AudioError& error) {
        EXPECT_EQ(error.what, GetParam().what);
        EXPECT_EQ(error.status, -50);
    }
    expectNothingLeft();
    EXPECT_EQ(hal.runningIOProcs(), 0u);
    hal.advance(4800);
    EXPECT_FALSE(hal.isMutedAtSource(app));
}

std::string stepName(const ::testing::TestParamInfo<FailingStep>& info) {
    static const char* const names[] = {"Tap", "Aggregate", "IOProc", "Start"};
    return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(EachStep, AppTapFailure,
                         ::testing::Values(FailingStep{Op::createProcessTap, "Tap erstellen"},
                                           FailingStep{Op::createAggregateDevice,
                                                       "Aggregate Device erstellen"},
                                           FailingStep{Op::createIOProcID, "IOProc erstellen"},
                                           FailingStep{Op::deviceStart, "Wiedergabe starten"}),
                         stepName);

TEST_F(AppTapTest, InvalidateIsIdempotentAndStopsBeforeDestroying) {
    AppTap tap(hal, {app}, std::nullopt, "speakers", Mode::process, 1.0f);
    tap.invalidate();
    expectNothingLeft();
    EXPECT_EQ(tap.tapID(), 0u);
    EXPECT_EQ(tap.aggregateID(), 0u);
    EXPECT_FALSE(tap.procID());
    const auto destroys = hal.calls(Op::destroyProcessTap) + hal.calls(Op::destroyAggregateDevice);
    tap.invalidate();
    EXPECT_EQ(hal.calls(Op::destroyProcessTap) + hal.calls(Op::destroyAggregateDevice), destroys);
    EXPECT_EQ(hal.calls(Op::deviceStop), 1u);
    EXPECT_EQ(hal.calls(Op::destroyIOProcID), 1u);
}

TEST_F(AppTapTest, KeepsTheOutputDevicesOwnInputsClosed) {
    hal.addDevice(deviceSetup("headset", "Headset", Transport::bluetooth, {2}, {1}));
    AppTap onHeadset(hal, {app}, std::nullopt, "headset", Mode::process, 1.0f);
    EXPECT_EQ(hal.streamUsage(onHeadset.aggregateID(), *onHeadset.procID()),
              (std::vector<std::uint32_t>{0, 1}));
    AppTap onSpeakers(hal, {app}, std::nullopt, "speakers", Mode::process, 1.0f);
    EXPECT_EQ(hal.streamUsage(onSpeakers.aggregateID(), *onSpeakers.procID()),
              (std::vector<std::uint32_t>{1}));

    // The stream usage is best effort: a refused read leaves every stream on.
    SimHal::Fault fault;
    fault.operation = Op::getPropertyData;
    fault.selector = kAudioDevicePropertyIOProcStreamUsage;
    hal.injectFault(fault);
    AppTap refused(hal, {app}, std::nullopt, "headset", Mode::process, 1.0f);
    EXPECT_EQ(hal.streamUsage(refused.aggregateID(), *refused.procID()),
              (std::vector<std::uint32_t>{1, 1}));
}

TEST_F(AppTapTest, TapStateFollowsTheOutputDevicesRate) {
    auto slow = deviceSetup("cd", "CD");
    slow.nominalSampleRate = 44100;
    hal.addDevice(slow);
    AppTap onCD(hal, {app}, std::nullopt, "cd", Mode::process, 1.0f);
    EXPECT_EQ(onCD.state().sampleRate(), 44100.0);
    EXPECT_EQ(onCD.state().lookahead(), 66);
    AppTap nowhere(hal, {app}, std::nullopt, "gone", Mode::process, 1.0f);
    EXPECT_EQ(nowhere.state().sampleRate(), 48000.0);
}

TEST_F(AppTapTest, NonInterleavedTapsFeedBothChannels) {
    hal.setTapsNonInterleaved(true);
    AppTap tap(hal, {app}, std::nullopt, "speakers", Mode::process, 0.25f);
    hal.advance(48000);
    const auto samples = hal.lastSamples(speakers);
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
    AppTap tap(hal, {app}, std::nullopt, "speakers", Mode::process, 0.25f);
    hal.advance(512);
    test::AllocationCounter allocations;
    hal.advance(48000);
    EXPECT_EQ(allocations.count(), 0u);
}

} // namespace
} // namespace voxlane
