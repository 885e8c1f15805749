// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SettingsStore.h"
#include "engine/StatusReport.h"
#include "mic/MicMute.h"
#include "platform/Log.h"
#include "platform/Utf8.h"
#include "support/EngineFixture.h"
#include "support/TempDirectory.h"

#include <nlohmann/json.hpp>
#include <random>
#include <sys/stat.h>

namespace voxlane {
namespace {

using json = nlohmann::json;

AppSettings with(float volume, bool muted = false, std::optional<std::string> output = {}) {
    AppSettings settings;
    settings.volume = volume;
    settings.muted = muted;
    settings.outputUID = std::move(output);
    return settings;
}

json stored(const Defaults& defaults) {
    return *defaults.value(SettingsStore::key);
}

// Records within the tolerance of the defaults (whatever their EQ preset) are dropped; a missing
// output is left out of the record.
TEST(SettingsStoreSave, DropsDefaultRecordsAndOmitsMissingOutput) {
    const EQSettings nearlyFlat{EQPreset::custom, {0.04f, -0.04f, 0, 0.04f, 0}};
    AppSettings nearlyDefault = with(1.0004f), noGains, lifted;
    nearlyDefault.eq = nearlyFlat;
    noGains.eq.gains.clear();
    lifted.eq.gains = {0, 0, 0.05f};
    EXPECT_TRUE(nearlyDefault.isDefault() && noGains.isDefault());
    EXPECT_FALSE(with(0.998f).isDefault() || with(1, false, "speakers").isDefault() ||
                 lifted.isDefault());
    auto defaults = Defaults::inMemory();
    SettingsStore::save(*defaults,
                        {{"org.example.loud", with(1.5f)}, {"org.example.quiet", nearlyDefault}});
    EXPECT_EQ(stored(*defaults), json::parse(R"({"org.example.loud": {"volume": 1.5, "muted": false,
        "eq": {"preset": "off", "gains": [0, 0, 0, 0, 0]}}})"));
    SettingsStore::save(*defaults, {{"a", AppSettings{}}});
    EXPECT_EQ(stored(*defaults), json::object());
    // A record that cannot be written (an id that is no UTF-8) is reported, the others are saved.
    Log::Capture log;
    EXPECT_FALSE(SettingsStore::save(
        *defaults, {{"process.\xd0\x9f\xd1", with(0.25f)}, {"org.example.Good", with(0.25f)}}));
    EXPECT_EQ(stored(*defaults), (json{{"org.example.Good", with(0.25f)}}));
    ASSERT_EQ(log.entries("engine").size(), 1u);
    EXPECT_TRUE(SettingsStore::save(*defaults, {{"org.example.Good", with(0.25f)}}));
}

TEST(SettingsStoreLoad, RoundTripAndPartialRecords) {
    auto defaults = Defaults::inMemory();
    EXPECT_TRUE(SettingsStore::load(*defaults).empty());
    AppSettings full{0.25f, true, "usb-headset", EQSettings::fromPreset(EQPreset::night)};
    SettingsStore::save(*defaults, {{"firefox", full}});
    EXPECT_EQ(SettingsStore::load(*defaults), (AppSettingsMap{{"firefox", full}}));
    // Missing members take their defaults, unknown ones are ignored, a volume is clamped to what
    // the mixer can set.
    defaults->setValue(SettingsStore::key,
                       json::parse(R"({"a": {}, "b": {"muted": true, "extra": [1]},
        "c": {"volume": 0.5, "muted": true, "eq": "loud"}, "d": {"volume": 7, "outputUID": null}})"));
    EXPECT_EQ(
        SettingsStore::load(*defaults),
        (AppSettingsMap{{"a", {}}, {"b", with(1, true)}, {"c", with(0.5f, true)}, {"d", with(2)}}));
}

// One record that does not decode is skipped and logged; every other app keeps its settings, and
// the next save cannot lose the bad one: it waits under "unreadable".
TEST(SettingsStoreLoad, BadRecordIsSetAsideAndTheOthersLoad) {
    const AppSettings quiet = with(0.25f);
    for (const char* bad : {R"({"muted": "yes"})", R"({"volume": "loud"})", R"({"outputUID": 5})",
                            R"({"volume": 1e300})", "3"}) {
        Log::Capture log;
        auto defaults = Defaults::inMemory();
        const auto badRecord = json::parse(bad);
        defaults->setValue(SettingsStore::key, {{"org.example.Good", {{"volume", 0.25}}},
                                                {"org.example.Bad", badRecord}});
        EXPECT_EQ(SettingsStore::load(*defaults), (AppSettingsMap{{"org.example.Good", quiet}}))
            << bad;
        EXPECT_EQ(log.entries("defaults").size(), 1u) << bad;
        SettingsStore::save(*defaults,
                            {{"org.example.Good", quiet}, {"org.example.New", with(1.5f)}});
        EXPECT_EQ(stored(*defaults).size(), 2u);
        EXPECT_EQ((*defaults->value(Defaults::unreadableKey))[SettingsStore::key],
                  json::array({{{"org.example.Bad", badRecord}}}))
            << bad;
    }
    // A stored value that is no object at all is kept whole.
    auto defaults = Defaults::inMemory();
    defaults->setValue(SettingsStore::key, json::array({1, 2}));
    Log::Capture log;
    EXPECT_TRUE(SettingsStore::load(*defaults).empty());
    SettingsStore::save(*defaults, {});
    EXPECT_EQ((*defaults->value(Defaults::unreadableKey))[SettingsStore::key],
              json::array({json::array({1, 2})}));
}

using MixerEngineTest = test::EngineFixture;
using Sizes = std::pair<std::size_t, std::size_t>;

// Four server-wide subscriptions, one for the app's process (never for our own), the volume
// ones. A stored duck level of another type is ignored, a hand-edited one held to the menu's range.
TEST_F(MixerEngineTest, StartsFromStoredChoicesAndTheAudioServer) {
    store->setBoolean("duckLevel", true);
    store->setBoolean("duckingEnabled", false);
    addApp(2001, "org.example.Music", "Music");
    MixerEngine& e = start();
    EXPECT_EQ(std::tuple(e.duckLevel(), e.duckingEnabled(), e.audioAccess()),
              std::tuple(0.3f, false, AudioPermission::Status::granted));
    EXPECT_EQ(e.masterVolume(), 1.0f); // the speakers' hardware volume, read at the first refresh
    EXPECT_EQ(Sizes(e.apps().size(), e.refreshCount()), Sizes(1, 1));
    EXPECT_EQ(probes.liveSubscriptions(), 4u + 1u + e.volumeListenerCount());
    for (auto [stored, level] : {std::pair{0.5, 0.5f}, {5.0, 1.0f}}) {
        store->remove("duckLevel");
        store->setNumber("duckLevel", stored);
        engine.reset();
        EXPECT_EQ(start().duckLevel(), level);
    }
}

TEST_F(MixerEngineTest, ABurstOfNotificationsGivesOneRefreshAfterTheLast) {
    start();
    scheduler.runPending();
    const auto before = engine->refreshCount();
    sim.addProcess(test::processSetup(3001, SimServer::Signal::silence()));
    scheduler.runPending();
    scheduler.advance(0.05);
    sim.addDevice(test::deviceSetup("usb", "USB DAC"));
    scheduler.runPending();
    for (auto [wait, refreshes] : {std::pair{0.119, 0u}, {0.002, 1u}, {1.0, 1u}}) {
        scheduler.advance(wait);
        EXPECT_EQ(engine->refreshCount(), before + refreshes) << wait;
    }
}

// Listeners are registered once: per process while it lives, on the default output's volume
// while it is the default.
TEST_F(MixerEngineTest, ListenersFollowTheProcessesAndTheDefaultOutput) {
    const auto music = addApp(2001, "org.example.Music", "Music");
    start();
    const auto listening = probes.liveSubscriptions();
    const auto added = probes.calls(ServerCore::Operation::subscribe);
    sim.setProcessRunning(music, false, false); // a process notification, then a refresh
    sim.addDevice(test::deviceSetup("usb", "USB DAC"));
    settle();
    EXPECT_EQ(probes.calls(ServerCore::Operation::subscribe), added) << "registered once";
    const auto video = addApp(2002, "org.example.Video", "Video");
    settle();
    EXPECT_EQ(probes.liveSubscriptions(), listening + 1);
    sim.removeProcess(video);
    settle();
    EXPECT_EQ(engine->watchedProcesses(), (std::vector<ObjectId>{music}));
    const auto count = engine->volumeListenerCount();
    EXPECT_GT(count, 0u);
    setDefaultOutput(headphones);
    settle();
    EXPECT_EQ(engine->defaultOutput()->uid, "headphones");
    EXPECT_EQ(probes.liveSubscriptions(), listening - count + engine->volumeListenerCount());
}

// Playing first (Zeta's stream runs, if silent), then by name ignoring case, numbers by value.
TEST_F(MixerEngineTest, AppsArePlayingFirstThenByNameIgnoringCaseWithNumbersByValue) {
    addApp(2001, "org.example.zeta", "Zeta", SimServer::Signal::silence());
    addApp(2002, "org.example.beta", "beta", SimServer::Signal::sine(0.1f));
    addApp(2003, "org.example.alpha", "Alpha");
    const auto quiet = addApp(2004, "org.example.Able", "able", SimServer::Signal::silence());
    sim.setProcessRunning(quiet, false, false);
    addApp(2005, "org.example.deck10", "Deck 10");
    addApp(2006, "org.example.deck2", "Deck 2");
    addApp(2007, "org.example.deck02b", "deck 02b");
    std::vector<std::string> names;
    for (const auto& app : start().apps())
        names.push_back(app.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "Deck 2", "deck 02b", "Deck 10",
                                               "Zeta", "able"}));
}

TEST_F(MixerEngineTest, PerAppOperationsClampAndDropDefaultRecords) {
    const std::string music = "org.example.Music";
    addApp(2001, music, "Music");
    start();
    for (auto [set, kept] : {std::pair{2.5f, 2.0f}, {-1.0f, 0.0f}, {std::nanf(""), 0.0f}}) {
        engine->setVolume(set, music);
        EXPECT_EQ(engine->settings(music).volume, kept) << set;
    }
    engine->setVolume(1.0f, music);
    EXPECT_FALSE(engine->allSettings().count(music));
    engine->setOutput("headphones", music);
    EXPECT_EQ(engine->settings(music).outputUID, "headphones");
    engine->setOutput("speakers", music); // the default output: follow the system
    EXPECT_FALSE(engine->allSettings().count(music));
    EXPECT_EQ(*store->value("appSettings"), nlohmann::json::object());
    engine->toggleMute(music);
    EXPECT_TRUE(engine->settings(music).muted);
    engine->setEQ(EQSettings::fromPreset(EQPreset::bass), music);
    engine->reset(music);
    EXPECT_EQ(engine->settings(music), AppSettings{});
    EXPECT_FALSE(store->value("appSettings")->contains(music));
}

// Waking rebuilds the taps, quitting tears everything down, and callbacks still pending when the
// engine goes (a refresh, the meter timer) do no harm.
TEST_F(MixerEngineTest, TerminationTearsDownWakeRebuildsAndCallbacksOutliveTheEngine) {
    addApp(2001, "org.example.Music", "Music");
    start();
    engine->setVolume(0.5f, "org.example.Music");
    ASSERT_EQ(probes.liveTaps(), 1u);
    const auto before = tap("org.example.Music")->tapID();
    systemEvents.post(SystemEvent::didWake);
    ASSERT_EQ(probes.liveTaps(), 1u);
    EXPECT_NE(tap("org.example.Music")->tapID(), before);
    systemEvents.post(SystemEvent::willTerminate);
    EXPECT_EQ(probes.liveTaps() + probes.liveAggregates() + probes.liveRenders(), 0u);
    start().setMetering(true);
    ASSERT_EQ(probes.liveTaps(), 1u);
    sim.addProcess(test::processSetup(3001, SimServer::Signal::silence()));
    engine.reset();
    EXPECT_EQ(probes.liveSubscriptions() + probes.liveTaps(), 0u);
    scheduler.advance(1.0);
    systemEvents.post(SystemEvent::didWake);
}

// A server restart: the engine follows through its ordinary listeners, shows the wait, and
// applies everything the user set again.
TEST_F(MixerEngineTest, AServerThatGoesAndComesBackGetsEverythingAgain) {
    const auto micSetup = test::microphone("mic");
    ObjectId mic = sim.addDevice(micSetup);
    ObjectId music = addApp(2001, "org.example.Music", "Music");
    MixerEngine& e = start();
    e.setVolume(0.5f, "org.example.Music");
    e.toggleMicMute();
    ASSERT_TRUE(sim.deviceMuted(mic, Side::input));
    sim.removeProcess(music);
    for (ObjectId device : {speakers, headphones, mic})
        sim.removeDevice(device);
    sim.setServerConnected(false);
    settle();
    EXPECT_FALSE(e.serverConnected() || e.defaultOutput() || e.masterVolumeKnown());
    EXPECT_TRUE(e.apps().empty() && e.taps().empty() && e.micMuted());
    EXPECT_EQ(probes.liveTaps() + probes.liveAggregates(), 0u);
    // A fresh server knows nothing of the mute: the microphone comes back live.
    sim.setServerConnected(true);
    speakers = sim.addDevice(test::deviceSetup("speakers", "Speakers"));
    mic = sim.addDevice(micSetup);
    music = addApp(2001, "org.example.Music", "Music");
    settle();
    EXPECT_TRUE(e.serverConnected());
    ASSERT_TRUE(tap("org.example.Music"));
    EXPECT_NEAR(playPeak(speakers, 0.5), 0.5f * 0.25f, 0.005f);
    EXPECT_TRUE(sim.isMutedAtSource(music));
    EXPECT_TRUE(sim.deviceMuted(mic, Side::input)) << "muted again";
    // Its entry still holds the state from before the first mute: unmuting gives it back.
    ASSERT_TRUE(e.micMute().saved().count("mic"));
    EXPECT_EQ(e.micMute().saved().at("mic").value, 0.0f);
    e.toggleMicMute();
    EXPECT_FALSE(sim.deviceMuted(mic, Side::input));
}

// Whatever the user did, a new engine on the same file sees exactly the non-default records.
// One app is known by a process name Linux cut at 15 bytes, inside the "П" of a Cyrillic name:
// it still gets a valid id, the same one every run, saved with everyone else's, and the status
// report can be written.
TEST_F(MixerEngineTest, SettingsSurviveARestartExactly) {
    const std::string cut = "\xd0\x9f\xd1\x80\xd0\xbe\xd0\xb3\xd1\x80\xd0\xb0\xd0\xbc\xd0";
    workspace.names[3001] = cut;
    sim.addProcess(test::processSetup(3001, SimServer::Signal::sine(0.5f)));
    test::TempDirectory dir;
    const auto path = dir.path() / "defaults.json";
    store = Defaults::openFile(path);
    store->setBoolean(AudioPermission::grantedKey, true);
    const std::vector<std::string> ids{"org.example.A", "org.example.B", "process.sox",
                                       "process." + Utf8::valid(cut)};
    ASSERT_TRUE(Utf8::isValid(ids[3]));
    addApp(2001, ids[0], "A");
    start();
    ASSERT_EQ(engine->apps().size(), 2u);
    const AppGroup& found = engine->apps()[engine->apps()[0].id == ids[3] ? 0 : 1];
    EXPECT_EQ(found.id, ids[3]);
    EXPECT_TRUE(Utf8::isValid(found.name));
    std::mt19937 random(7);
    for (int step = 0; step < 300; ++step) {
        const std::string& id = ids[random() % ids.size()];
        switch (random() % 6) {
        case 0:
            engine->setVolume(float(random() % 9) / 4.0f - 0.1f, id);
            break;
        case 1:
            engine->toggleMute(id);
            break;
        case 2:
            engine->setOutput(random() % 2 ? "headphones" : "speakers", id);
            break;
        case 3:
            engine->setEQ(EQSettings::fromPreset(EQPresets::allCases[random() % 7]), id);
            break;
        case 4:
            engine->reset(id);
            break;
        default:
            engine->setOutput(std::nullopt, id);
        }
    }
    engine->setVolume(0.5f, ids[3]);
    EXPECT_FALSE(engine->lastError());
    EXPECT_NO_THROW((void)StatusReport::json(*engine, "simulated", engine->audioAccess()).dump());
    const AppSettingsMap expected = engine->allSettings();
    ASSERT_TRUE(expected.count(ids[3]));
    for (const auto& [id, record] : expected)
        EXPECT_FALSE(record.isDefault()) << id;
    engine.reset();
    store = Defaults::openFile(path);
    EXPECT_EQ(start().allSettings(), expected);
}

// Something that is no regular file took the file's place: it is not replaced, and the error
// goes once the file can be written again.
TEST_F(MixerEngineTest, AFailedSaveBecomesTheLastError) {
    test::TempDirectory dir;
    store = Defaults::openFile(dir / "defaults.json");
    store->setBoolean(AudioPermission::grantedKey, true);
    addApp(2001, "org.example.Music", "Music");
    start();
    ASSERT_EQ(std::filesystem::remove(dir / "defaults.json"), true);
    ASSERT_EQ(::mkfifo((dir / "defaults.json").c_str(), 0600), 0);
    Log::Capture log;
    engine->setVolume(0.5f, "org.example.Music");
    ASSERT_TRUE(engine->lastError());
    EXPECT_NE(engine->lastError()->find("nicht gespeichert"), std::string::npos);
    EXPECT_EQ(log.entries("defaults").size(), 1u);
    engine->setVolume(0.75f, "org.example.Music");
    EXPECT_TRUE(engine->lastError()); // still failing
    std::filesystem::remove(dir / "defaults.json");
    engine->setVolume(0.5f, "org.example.Music");
    EXPECT_FALSE(engine->lastError());
}

TEST_F(MixerEngineTest, MeterPeaksShowGoneTapsDropOutAndHidingEmptiesEverything) {
    const auto music = addApp(2001, "org.example.Music", "Music", SimServer::Signal::silence());
    addApp(2002, "org.example.Radio", "Radio", SimServer::Signal::silence());
    start().setMetering(true); // meter taps for both playing apps, and the timer
    ASSERT_TRUE(tap("org.example.Music") && tap("org.example.Radio"));
    tap("org.example.Music")->state().store(TapState::peakLevel, 1.5f);
    tap("org.example.Radio")->state().store(TapState::limiterFloor, 0.5f);
    scheduler.advance(LevelMeters::tickInterval);
    const auto& meters = engine->meters();
    EXPECT_EQ(meters.values(), (std::map<std::string, float>{{"org.example.Music", 1.0f},
                                                             {"org.example.Radio", 0.0f}}));
    EXPECT_EQ(meters.limiting(), (std::set<std::string>{"org.example.Radio"}));
    sim.removeProcess(music);
    settle();
    EXPECT_EQ(meters.values(), (std::map<std::string, float>{{"org.example.Radio", 0.0f}}));
    engine->setMetering(false);
    EXPECT_TRUE(meters.values().empty() && meters.limiting().empty());
    scheduler.advance(1.0); // no timer runs any more
    EXPECT_TRUE(meters.values().empty());
}

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
