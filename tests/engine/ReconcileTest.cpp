// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/EQPreset.h"
#include "engine/TapPlan.h"
#include "platform/AppIdentifier.h"
#include "platform/Log.h"
#include "support/AllocationCounter.h"
#include "support/EngineFixture.h"

namespace voxlane {
namespace {

using Mode = AppTap::Mode;

using Want = std::tuple<Mode, std::string, float, float>; // mode, output, gain, duck
enum Flags { metering = 1, silent = 2, ducked = 4, processTapped = 8, keep = 16 };

struct Row {
    const char* what;
    int flags;
    AppSettings settings;
    std::optional<std::string> solo;
    std::optional<Want> tap; // none: no tap
};

// What the plan gives the app "music" (two processes, playing unless said otherwise) beside
// "radio" at its defaults, with the speakers as default output and a software master gain of 0.5.
TEST(TapPlan, EachAppGetsTheTapItsSettingsAndTheEngineStateAskFor) {
    const Want process{Mode::process, "speakers", 0.5f, 1};
    AppSettings quieter, muted, equalised, own;
    quieter.volume = 0.5f;
    muted.muted = true;
    equalised.eq = EQSettings::fromPreset(EQPreset::bass);
    own.outputUID = "headphones";
    const Row rows[] = {
        {"defaults, panel closed", 0, {}, {}, {}},
        {"defaults, panel open", metering, {}, {}, Want{Mode::meter, "speakers", 0.5f, 1}},
        {"defaults, panel open, silent", metering | silent, {}, {}, {}},
        {"quieter", 0, quieter, {}, Want{Mode::process, "speakers", 0.125f, 1}},
        {"muted", 0, muted, {}, Want{Mode::process, "speakers", 0, 1}},
        {"equalised", 0, equalised, {}, process},
        {"own output: no master gain", 0, own, {}, Want{Mode::process, "headphones", 1, 1}},
        {"another app soloed", 0, {}, "radio", Want{Mode::process, "speakers", 0, 1}},
        {"soloed itself", 0, {}, "music", {}},
        {"ducked", ducked, {}, {}, Want{Mode::process, "speakers", 0.5f, 0.3f}},
        {"process tap kept after a call", processTapped | keep, {}, {}, process},
        {"process tap kept while metering", processTapped | metering, {}, {}, process},
        {"process tap at defaults", processTapped, {}, {}, {}},
        {"process tap kept, app silent", processTapped | keep | silent, {}, {}, {}},
    };
    for (const Row& row : rows) {
        std::vector<AppGroup> apps(2);
        apps[0].id = "music", apps[1].id = "radio";
        apps[0].processes = {{12, 1, {}, !(row.flags & silent), false}, {11, 2, {}, false, false}};
        apps[1].processes = {{21, 3, {}, true, false}};
        TapPlan::Inputs in;
        in.apps = apps;
        in.settings = [&](const std::string& id) {
            return id == "music" ? row.settings : AppSettings{};
        };
        in.soloID = row.solo;
        in.isDucked = [&](const AppGroup& app) {
            return (row.flags & ducked) && app.id == "music";
        };
        in.duckLevel = 0.3f;
        in.metering = row.flags & metering;
        in.keepProcessTaps = row.flags & keep;
        if (row.flags & processTapped) in.processTapped = {"music"};
        in.outputUIDs = {"speakers", "headphones"};
        in.defaultOutputUID = "speakers";
        in.softwareMasterGain = 0.5f;
        const auto plan = TapPlan::desired(in);
        // The radio at its defaults is tapped only when metered or soloed out.
        EXPECT_EQ(plan.count("radio"), (row.flags & metering) || row.solo == "music" ? 1u : 0u)
            << row.what;
        const auto tap = plan.find("music");
        ASSERT_EQ(tap != plan.end(), row.tap.has_value()) << row.what;
        if (!row.tap) continue;
        EXPECT_EQ(
            std::tuple(tap->second.mode, tap->second.outputUID, tap->second.gain, tap->second.duck),
            *row.tap)
            << row.what;
        EXPECT_EQ(tap->second.objectIDs, (std::vector<ObjectId>{11, 12})) << row.what;
        EXPECT_EQ(tap->second.eq, row.settings.eq.gains) << row.what;
    }
}

TEST(TapPlan, VolumeIsSquaredUpToUnityThenBoostsToTwelveDecibels) {
    EXPECT_EQ(TapPlan::gainForVolume(0), 0.0f);
    EXPECT_EQ(TapPlan::gainForVolume(0.5f), 0.25f);
    EXPECT_EQ(TapPlan::gainForVolume(1), 1.0f);
    EXPECT_NEAR(TapPlan::gainForVolume(2), 3.981f, 1e-3);
}

using test::deviceSetup;
using test::processSetup;
using Op = SimServer::Operation;
using Signal = SimServer::Signal;

class AppTapTest : public ::testing::Test, protected test::SimRig {
protected:
    ObjectId speakers = sim.addDevice(deviceSetup("speakers", "Speakers"));
    ObjectId app = sim.addProcess(processSetup(100, Signal::sine(0.5f), "org.music"));
};

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

TEST_F(ReconcileTest, AQuittingAppsTapAndSoloGo) {
    engine->setVolume(0.5f, music);
    engine->setSoloID(music);
    engine->reconcile();
    EXPECT_NEAR(settledPeak(speakers), 0.5f * 0.25f, 0.005f);
    EXPECT_EQ(sim.peak(headphones), 0.0f);
    sim.removeProcess(musicProcess);
    settle();
    EXPECT_FALSE(engine->soloID());
    EXPECT_TRUE(engine->taps().empty());
    EXPECT_EQ(probes.liveTaps() + probes.liveRenders(), 0u);
    EXPECT_EQ(engine->settings(music).volume, 0.5f);
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
    EXPECT_EQ(probes.liveTaps() + probes.liveAggregates(), 0u);
    probes.clearFaults();
    engine->setVolume(0.4f, radio); // any later reconciliation retries
    EXPECT_TRUE(tap(music) && tap(radio));
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
    EXPECT_EQ(probes.liveTaps() + probes.liveAggregates(), 0u);
    const auto back = sim.addDevice(test::deviceSetup("speakers", "Speakers"));
    setDefaultOutput(back);
    settle();
    ASSERT_TRUE(tap(music));
    EXPECT_EQ(tap(music)->state().load(TapState::targetGain), 0.25f);
    EXPECT_TRUE(engine->masterVolumeKnown());
}

} // namespace
} // namespace voxlane
