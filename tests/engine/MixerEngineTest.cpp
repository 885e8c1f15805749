// SPDX-License-Identifier: GPL-3.0-or-later
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

using test::EngineFixture;

class MixerEngineTest : public EngineFixture {};

TEST_F(MixerEngineTest, StartsFromStoredChoicesAndTheAudioServer) {
    store->setBoolean("duckLevel", true); // not a number: ignored
    store->setBoolean("duckingEnabled", false);
    addApp(2001, "org.example.Music", "Music");
    MixerEngine& e = start();

    EXPECT_EQ(e.duckLevel(), 0.3f);
    EXPECT_FALSE(e.duckingEnabled());
    EXPECT_EQ(e.audioAccess(), AudioPermission::Status::granted);
    EXPECT_EQ(e.masterVolume(), 1.0f); // the speakers' hardware volume, read at the first refresh
    ASSERT_EQ(e.apps().size(), 1u);
    EXPECT_EQ(e.refreshCount(), 1u);
    // Four server-wide subscriptions, one for the app's process (never for our own), the
    // volume ones.
    EXPECT_EQ(probes.liveSubscriptions(), 4u + 1u + e.volumeListenerCount());

    // A hand-edited level is held to the range the menu offers.
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
    for (int pid : {3001, 3002}) {
        sim.addProcess(test::processSetup(pid, SimServer::Signal::silence()));
        scheduler.runPending();
        scheduler.advance(0.05);
    }
    sim.addDevice(test::deviceSetup("usb", "USB DAC"));
    scheduler.runPending();
    scheduler.advance(0.119);
    EXPECT_EQ(engine->refreshCount(), before);
    scheduler.advance(0.002);
    EXPECT_EQ(engine->refreshCount(), before + 1);
    scheduler.advance(1.0);
    EXPECT_EQ(engine->refreshCount(), before + 1);
    EXPECT_EQ(engine->outputDevices().size(), 3u);
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

TEST_F(MixerEngineTest, AppsArePlayingFirstThenByNameIgnoringCaseWithNumbersByValue) {
    addApp(2001, "org.example.zeta", "Zeta", SimServer::Signal::silence());
    addApp(2002, "org.example.beta", "beta", SimServer::Signal::sine(0.1f));
    addApp(2003, "org.example.alpha", "Alpha");
    const auto quiet = addApp(2004, "org.example.Able", "able", SimServer::Signal::silence());
    sim.setProcessRunning(quiet, false, false);
    // Numbers by their value.
    addApp(2005, "org.example.deck10", "Deck 10");
    addApp(2006, "org.example.deck2", "Deck 2");
    addApp(2007, "org.example.deck02b", "deck 02b");
    start();
    std::vector<std::string> names;
    for (const auto& app : engine->apps())
        names.push_back(app.name);
    // Zeta has a running (if silent) stream, so it counts as playing.
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "Deck 2", "deck 02b", "Deck 10",
                                               "Zeta", "able"}));
}

TEST_F(MixerEngineTest, PerAppOperationsClampAndDropDefaultRecords) {
    addApp(2001, "org.example.Music", "Music");
    start();
    for (auto [set, kept] : {std::pair{2.5f, 2.0f}, {-1.0f, 0.0f}, {std::nanf(""), 0.0f}}) {
        engine->setVolume(set, "org.example.Music");
        EXPECT_EQ(engine->settings("org.example.Music").volume, kept) << set;
    }
    engine->setVolume(1.0f, "org.example.Music");
    EXPECT_FALSE(engine->allSettings().count("org.example.Music"));

    engine->setOutput("headphones", "org.example.Music");
    EXPECT_EQ(engine->settings("org.example.Music").outputUID, "headphones");
    engine->setOutput("speakers", "org.example.Music"); // the default output: follow the system
    EXPECT_FALSE(engine->allSettings().count("org.example.Music"));
    EXPECT_EQ(*store->value("appSettings"), nlohmann::json::object());

    engine->toggleMute("org.example.Music");
    EXPECT_TRUE(engine->settings("org.example.Music").muted);
    engine->setEQ(EQSettings::fromPreset(EQPreset::bass), "org.example.Music");
    engine->reset("org.example.Music");
    EXPECT_EQ(engine->settings("org.example.Music"), AppSettings{});
    EXPECT_FALSE(store->value("appSettings")->contains("org.example.Music"));
}

TEST_F(MixerEngineTest, TerminationTearsDownAndWakeRebuilds) {
    addApp(2001, "org.example.Music", "Music");
    start();
    engine->setVolume(0.5f, "org.example.Music");
    ASSERT_EQ(probes.liveTaps(), 1u);
    const auto before = tap("org.example.Music")->tapID();
    systemEvents.post(SystemEvent::didWake);
    ASSERT_EQ(probes.liveTaps(), 1u);
    EXPECT_NE(tap("org.example.Music")->tapID(), before);
    systemEvents.post(SystemEvent::willTerminate);
    EXPECT_EQ(probes.liveTaps(), 0u);
    EXPECT_EQ(probes.liveAggregates(), 0u);
    EXPECT_EQ(probes.liveRenders(), 0u);
}

// The server goes away and comes back with new objects (a restart): the engine follows through
// its ordinary listeners, shows the wait, and applies everything the user set again.
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
    EXPECT_TRUE(e.apps().empty() && e.taps().empty());
    EXPECT_EQ(probes.liveTaps() + probes.liveAggregates(), 0u);
    EXPECT_TRUE(e.micMuted());

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

TEST_F(MixerEngineTest, CallbacksOutliveTheEngineHarmlessly) {
    addApp(2001, "org.example.Music", "Music");
    start();
    engine->setMetering(true);
    sim.addProcess(test::processSetup(3001, SimServer::Signal::silence()));
    engine.reset(); // a refresh and the meter timer are pending
    EXPECT_EQ(probes.liveSubscriptions(), 0u);
    EXPECT_EQ(probes.liveTaps(), 0u);
    scheduler.advance(1.0);
    systemEvents.post(SystemEvent::didWake);
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
    const std::function<void(const std::string&)> steps[] = {
        [&](auto& id) { engine->setVolume(float(random() % 9) / 4.0f - 0.1f, id); },
        [&](auto& id) { engine->toggleMute(id); },
        [&](auto& id) { engine->setOutput(random() % 2 ? "headphones" : "speakers", id); },
        [&](auto& id) {
            engine->setEQ(EQSettings::fromPreset(EQPresets::allCases[random() % 7]), id);
        },
        [&](auto& id) { engine->reset(id); },
        [&](auto& id) { engine->setOutput(std::nullopt, id); },
    };
    for (int step = 0; step < 300; ++step) {
        const std::string& id = ids[random() % ids.size()];
        steps[random() % 6](id);
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

TEST_F(MixerEngineTest, AFailedSaveBecomesTheLastError) {
    test::TempDirectory dir;
    store = Defaults::openFile(dir.path() / "defaults.json");
    store->setBoolean(AudioPermission::grantedKey, true);
    addApp(2001, "org.example.Music", "Music");
    start();
    // Something that is no regular file took the file's place: it is not replaced.
    ASSERT_EQ(std::filesystem::remove(dir.path() / "defaults.json"), true);
    ASSERT_EQ(::mkfifo((dir.path() / "defaults.json").c_str(), 0600), 0);
    Log::Capture log;
    engine->setVolume(0.5f, "org.example.Music");
    ASSERT_TRUE(engine->lastError());
    EXPECT_NE(engine->lastError()->find("nicht gespeichert"), std::string::npos);
    EXPECT_EQ(log.entries("defaults").size(), 1u);
    engine->setVolume(0.75f, "org.example.Music");
    EXPECT_TRUE(engine->lastError()); // still failing

    // Once the file can be written again, the error goes.
    std::filesystem::remove(dir.path() / "defaults.json");
    engine->setVolume(0.5f, "org.example.Music");
    EXPECT_FALSE(engine->lastError());
}

} // namespace
} // namespace voxlane
