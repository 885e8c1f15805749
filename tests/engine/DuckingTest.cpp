// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/CallDetector.h"
#include "support/EngineFixture.h"

#include <cmath>

namespace voxlane {
namespace {

AppGroup group(std::string id, bool playing, bool recording) {
    AppGroup g;
    g.id = std::move(id);
    g.name = g.id;
    g.processes.push_back({1, 100, std::nullopt, playing, recording});
    return g;
}

TEST(CallDetector, FirstRecordingCallAppOrBrowserWins) {
    using CallDetector::activeCall;
    EXPECT_FALSE(activeCall({}));
    EXPECT_FALSE(activeCall({group("us.zoom.Zoom", true, false)})) << "a ringtone is no call";
    EXPECT_EQ(activeCall({group("firefox", false, true)})->id, "firefox");
    EXPECT_FALSE(activeCall({group("org.gnome.SoundRecorder", true, true)}));
    EXPECT_EQ(activeCall({group("org.example.Daw", true, true),
                          group("com.slack.Slack", false, true), group("discord", false, true)})
                  ->id,
              "com.slack.Slack");
    AppGroup empty;
    empty.id = "discord";
    EXPECT_FALSE(activeCall({empty}));
}

class DuckingTest : public test::EngineFixture {
protected:
    void SetUp() override {
        music = addApp(2001, "org.example.Music", "Music", SimServer::Signal::sine(0.5f));
        call = addApp(2002, "org.mozilla.firefox", "Firefox", SimServer::Signal::silence());
        // A second recording app, on its own device so that its level can be heard apart.
        recorder = addAppOn(headphones, 2003, "com.obsproject.Studio", "OBS",
                            SimServer::Signal::sine(0.25f));
        sim.setProcessRunning(recorder, true, true);
        start();
    }

    void startCall() {
        sim.setProcessRunning(call, true, true);
        settle();
    }
    void endCall() {
        sim.setProcessRunning(call, true, false);
        scheduler.runPending();  // the listener
        scheduler.advance(0.12); // the debounced refresh
    }
    float settledPeak(ObjectId device) { return EngineFixture::settledPeak(device, 1.5); }
    const AppGroup& app(const std::string& id) {
        for (const auto& g : engine->apps())
            if (g.id == id) return g;
        throw std::logic_error("no app " + id);
    }

    ObjectId music = 0, call = 0, recorder = 0;
};

// The lowering glides with a 250 ms time constant: a quarter second in, the music is at
// 0.3 + 0.7 / e of its level. Ending the call releases it through the window.
TEST_F(DuckingTest, ACallLowersOtherPlayingAppsButNoRecorderUntilItEnds) {
    startCall();
    ASSERT_TRUE(engine->activeCall());
    EXPECT_EQ(engine->activeCall()->id, "org.mozilla.firefox");
    EXPECT_TRUE(engine->isDucking());
    EXPECT_TRUE(engine->isDucked(app("org.example.Music")));
    EXPECT_FALSE(engine->isDucked(app("org.mozilla.firefox")));
    EXPECT_FALSE(engine->isDucked(app("com.obsproject.Studio")));
    playPeak(speakers, 0.25);
    EXPECT_NEAR(playPeak(speakers, 0.02), 0.5f * (0.3f + 0.7f * std::exp(-1.0f)), 0.02f);
    EXPECT_NEAR(settledPeak(speakers), 0.5f * 0.3f, 0.01f);
    EXPECT_NEAR(sim.peak(headphones), 0.25f, 0.01f);
    engine->setDuckLevel(0.0f);
    EXPECT_LT(settledPeak(speakers), 1e-3f);
    EXPECT_TRUE(engine->isDucked(app("org.example.Music"))) << "still shown as lowered";
    const auto lowered = tap("org.example.Music")->tapID();
    endCall();
    EXPECT_FALSE(engine->isDucking());
    ASSERT_TRUE(tap("org.example.Music")) << "kept through the release window";
    EXPECT_EQ(tap("org.example.Music")->tapID(), lowered);
    EXPECT_EQ(tap("org.example.Music")->state().load(TapState::targetDuck), 1.0f);
    EXPECT_NEAR(playPeak(speakers, 1.2), 0.5f, 0.01f) << "glides back up";
    scheduler.advance(1.5);
    EXPECT_TRUE(tap("org.example.Music"));
    scheduler.advance(0.11); // 1.6 s after the end: the settling reconciliation
    EXPECT_FALSE(tap("org.example.Music"));
}

// A pause raises at once (PanelViewTest) and holds for its call only; switching the lowering
// off raises at once too and is remembered.
TEST_F(DuckingTest, PausingHoldsForItsCallAndSwitchingOffRaisesAtOnce) {
    startCall();
    engine->setDuckingPausedForCall(true);
    engine->reconcile();
    EXPECT_FALSE(tap("org.example.Music")) << "no release window for a pause";
    settle(); // the same call continues: the pause holds
    EXPECT_TRUE(engine->duckingPausedForCall());
    endCall();
    EXPECT_FALSE(engine->duckingPausedForCall());
    const auto zoom = addApp(2004, "us.zoom.Zoom", "Zoom", SimServer::Signal::silence());
    sim.setProcessRunning(zoom, true, true);
    settle();
    EXPECT_TRUE(engine->isDucking());
    EXPECT_NEAR(settledPeak(speakers), 0.15f, 0.01f);
    engine->setDuckingEnabled(false);
    EXPECT_FALSE(tap("org.example.Music"));
    EXPECT_EQ(store->boolean("duckingEnabled"), false);
    EXPECT_NEAR(settledPeak(speakers), 0.5f, 0.01f);
    store->remove("duckLevel");
    engine->setDuckLevel(0.3f); // the same value: written all the same
    EXPECT_EQ(store->number("duckLevel"), 0.3f);
}

} // namespace
} // namespace voxlane
