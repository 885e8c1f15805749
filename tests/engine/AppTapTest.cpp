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
};

// Process mode end to end is measured through the engine (ReconcileTest), a failing step of any
// build in the fault sweep.
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
    EXPECT_EQ(std::tuple(tapDescription->isExclusive, tapDescription->processes,
                         tapDescription->muteBehavior),
              std::tuple(false, std::vector<ObjectId>{app, other}, TapMute::mutedWhenTapped));

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
    AppTap butApp(sim, {app}, std::vector<ObjectId>{app}, "speakers", Mode::meter, 1.0f);
    using Excluding = std::pair<bool, std::vector<ObjectId>>;
    for (const AppTap* tap : {&all, &butApp}) {
        const auto d = probes.tapDescription(tap->tapID());
        EXPECT_EQ(Excluding(d->isExclusive, d->processes),
                  Excluding(true, tap == &butApp ? std::vector{app} : std::vector<ObjectId>{}));
    }
    sim.advance(4800);
    EXPECT_NEAR(all.state().load(TapState::peakLevel), 0.5f, 2e-3);
    EXPECT_EQ(butApp.state().load(TapState::peakLevel), 0.0f);
}

TEST_F(AppTapTest, InvalidateIsIdempotentAndStopsBeforeDestroying) {
    AppTap tap(sim, {app}, std::nullopt, "speakers", Mode::process, 1.0f);
    tap.invalidate();
    EXPECT_EQ(probes.liveTaps() + probes.liveAggregates() + probes.liveRenders(), 0u);
    EXPECT_EQ(std::pair(tap.tapID(), tap.aggregateID()), std::pair(0u, 0u));
    EXPECT_FALSE(tap.render());
    tap.invalidate();
    for (Op op : {Op::destroyTap, Op::destroyAggregate, Op::stopRender, Op::destroyRender})
        EXPECT_EQ(probes.calls(op), 1u) << "once";
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

TEST_F(AppTapTest, TheAudioPathAllocatesNothing) {
    AppTap tap(sim, {app}, std::nullopt, "speakers", Mode::process, 0.25f);
    sim.advance(512);
    test::AllocationCounter allocations;
    sim.advance(48000);
    EXPECT_EQ(allocations.count(), 0u);
}

} // namespace
} // namespace voxlane
