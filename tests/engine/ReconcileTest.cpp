// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Log.h"
#include "support/EngineFixture.h"

namespace voxlane {
namespace {

using Mode = AppTap::Mode;

class ReconcileTest : public test::EngineFixture {
protected:
    static constexpr const char* music = "org.example.Music";
    static constexpr const char* radio = "org.example.Radio";

    void SetUp() override {
        // Each app on its own device, so that each device's peak is one app's level.
        musicProcess = addApp(2001, music, "Music", SimServer::Signal::sine(0.5f));
        radioProcess = addAppOn(headphones, 2002, radio, "Radio", SimServer::Signal::sine(0.25f));
        start();
    }

    ObjectId musicProcess = 0, radioProcess = 0;
};

// Which tap each app gets is the plan's (TapPlanTest); here the running taps follow it.
TEST_F(ReconcileTest, SettingsRewriteTheRunningTapWhichGoesWithThePanelAtDefaults) {
    engine->setMetering(true);
    engine->setVolume(0.5f, music);
    ASSERT_EQ(tap(music)->mode(), Mode::process);
    const auto built = tap(music)->tapID();
    EXPECT_NEAR(settledPeak(speakers), 0.5f * 0.25f, 0.005f);
    EXPECT_TRUE(sim.isMutedAtSource(musicProcess));
    engine->setVolume(1.5f, music);
    EXPECT_NEAR(tap(music)->state().load(TapState::targetGain), 1.9953f, 1e-3);
    // Back to defaults: the process tap stays while the panel shows the playing app...
    engine->setVolume(1.0f, music);
    EXPECT_EQ(tap(music)->tapID(), built) << "a gain change never rebuilds";
    EXPECT_EQ(tap(music)->state().load(TapState::targetGain), 1.0f);
    // ...and goes when the panel closes.
    engine->setMetering(false);
    EXPECT_TRUE(engine->taps().empty());
    EXPECT_EQ(probes.liveTaps(), 0u);
    EXPECT_NEAR(settledPeak(speakers), 0.5f, 0.01f);
    EXPECT_FALSE(sim.isMutedAtSource(musicProcess));
}

TEST_F(ReconcileTest, AStoredOutputThatConnectsGetsTheTap) {
    engine->setOutput("usb", music); // not connected
    const auto usb = sim.addDevice(test::deviceSetup("usb", "USB DAC", Transport::usb));
    settle();
    ASSERT_TRUE(tap(music));
    EXPECT_EQ(tap(music)->outputUID(), "usb");
    EXPECT_NEAR(settledPeak(usb), 0.5f, 0.01f);
    EXPECT_EQ(sim.peak(speakers), 0.0f);
    EXPECT_EQ(probes.liveTaps(), 1u) << "the old tap went when the new one ran";
}

TEST_F(ReconcileTest, SoloEndsWhenItsAppQuits) {
    engine->setSoloID(music);
    engine->reconcile();
    EXPECT_NEAR(settledPeak(speakers), 0.5f, 0.01f);
    EXPECT_EQ(sim.peak(headphones), 0.0f);
    sim.removeProcess(musicProcess);
    settle();
    EXPECT_FALSE(engine->soloID());
    EXPECT_NEAR(settledPeak(headphones), 0.25f, 0.01f) << "the other app is heard again";
}

TEST_F(ReconcileTest, TapFailuresAreReportedAndRetried) {
    Log::Capture log;
    probes.injectFault(
        test::fault(ServerCore::Operation::createAggregate, ServerError::notPermitted));
    engine->setVolume(0.5f, music);
    EXPECT_FALSE(tap(music));
    EXPECT_EQ(engine->lastError(),
              "Music: Aggregate Device erstellen fehlgeschlagen (not permitted)");
    EXPECT_EQ(log.entries("engine").at(0).level, Log::Level::error);
    EXPECT_EQ(probes.liveTaps(), 0u);
    EXPECT_EQ(probes.liveAggregates(), 0u);
    probes.clearFaults();
    engine->setVolume(0.4f, radio); // any later reconciliation retries
    EXPECT_TRUE(tap(music));
    EXPECT_TRUE(tap(radio));
    EXPECT_FALSE(engine->lastError());
}

TEST_F(ReconcileTest, LosingThePermissionRemovesEveryTap) {
    engine->setVolume(0.5f, music);
    ASSERT_EQ(probes.liveTaps(), 1u);
    store->remove(AudioPermission::grantedKey);
    engine.reset();
    start();
    EXPECT_EQ(engine->audioAccess(), AudioPermission::Status::unknown);
    EXPECT_TRUE(engine->taps().empty());
    EXPECT_EQ(probes.liveTaps(), 0u);
    EXPECT_NEAR(settledPeak(speakers), 0.5f, 0.01f) << "apps play untouched";
}

TEST_F(ReconcileTest, AQuittingAppsTapGoesAtTheNextRefresh) {
    engine->setVolume(0.5f, music);
    ASSERT_TRUE(tap(music));
    sim.removeProcess(musicProcess);
    settle();
    EXPECT_FALSE(tap(music));
    EXPECT_EQ(probes.liveTaps(), 0u);
    EXPECT_EQ(probes.liveRenders(), 0u);
    EXPECT_EQ(engine->settings(music).volume, 0.5f) << "its settings stay for next time";
}

TEST_F(ReconcileTest, TapsWaitForAnOutputWhenNoneIsLeft) {
    engine->setVolume(0.5f, music);
    ASSERT_TRUE(tap(music));
    sim.removeDevice(speakers);
    sim.removeDevice(headphones);
    settle();
    EXPECT_FALSE(engine->defaultOutput());
    EXPECT_FALSE(engine->masterVolumeKnown()) << "no output, no volume to show";
    // Nothing left to play to: no tap may stand in as an output for another.
    EXPECT_TRUE(engine->taps().empty());
    EXPECT_EQ(probes.liveTaps(), 0u);
    EXPECT_EQ(probes.liveAggregates(), 0u);

    const auto back = sim.addDevice(test::deviceSetup("speakers", "Speakers"));
    setDefaultOutput(back);
    settle();
    ASSERT_TRUE(tap(music));
    EXPECT_EQ(tap(music)->state().load(TapState::targetGain), 0.25f);
    EXPECT_TRUE(engine->masterVolumeKnown());
}

} // namespace
} // namespace voxlane
