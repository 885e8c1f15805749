// SPDX-License-Identifier: GPL-3.0-or-later
// Microphone mute through the engine: the toggle, its sounds, the upkeep at each refresh, the
// restore at quit and after a crash, and the global hot key.
#include "mic/MicMute.h"
#include "platform/HotKey.h"
#include "platform/Log.h"
#include "support/EngineRig.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::deviceSetup;
using test::microphone;

class MicMuteEngineTest : public ::testing::Test {
protected:
    test::EngineRig rig;
    Log::Capture log;
    ObjectId builtIn = rig.sim.addDevice(microphone("builtin"));
    ObjectId usb = rig.sim.addDevice(microphone("usb", 0.6f, false));
    ObjectId speakers = rig.sim.addDevice(deviceSetup("speakers", "Speakers")); // for sounds

    bool muted(ObjectId id) { return rig.sim.deviceMuted(id, Side::input); }
    float volume(ObjectId id) { return rig.sim.deviceVolume(id, Side::input); }
    std::vector<std::string> sounds() {
        std::vector<std::string> names;
        for (const auto& sound : rig.sim.playedSounds())
            names.push_back(sound.name);
        return names;
    }
};

TEST_F(MicMuteEngineTest, ToggleMutesAndRestoresWithSoundsAndQuitRestoresToo) {
    MixerEngine& engine = rig.start();
    std::vector<EngineProperty> changes;
    auto subscription = engine.observe([&](EngineProperty p) {
        if (p == EngineProperty::micMuted) changes.push_back(p);
    });

    engine.toggleMicMute();
    EXPECT_TRUE(engine.micMuted() && muted(builtIn));
    EXPECT_EQ(volume(usb), 0.0f);
    engine.toggleMicMute();
    EXPECT_FALSE(engine.micMuted() || muted(builtIn));
    EXPECT_FLOAT_EQ(volume(usb), 0.6f);
    EXPECT_EQ(sounds(), (std::vector<std::string>{"pop", "tick"}));
    EXPECT_EQ(changes.size(), 2u);
    EXPECT_EQ(rig.store->value(MicMute::key), nullptr);

    // Quit while muted restores every microphone.
    engine.toggleMicMute();
    rig.systemEvents.post(SystemEvent::willTerminate);
    EXPECT_FALSE(muted(builtIn));
    EXPECT_FLOAT_EQ(volume(usb), 0.6f);
    EXPECT_FALSE(engine.micMute().isMuted() || engine.micMuted());
    EXPECT_EQ(rig.store->value(MicMute::key), nullptr);
}

TEST_F(MicMuteEngineTest, MicrophonePluggedInWhileMutedIsMutedAtTheNextRefresh) {
    MixerEngine& engine = rig.start();
    engine.toggleMicMute();
    const ObjectId headset = rig.sim.addDevice(microphone("headset", 0.9f));
    EXPECT_FALSE(muted(headset));
    rig.settle();
    EXPECT_TRUE(muted(headset));
    EXPECT_TRUE(engine.micMute().saved().count("headset"));

    // Unplugged while muted, unmuted, plugged back: restored at the refresh that sees it.
    rig.sim.removeDevice(headset);
    rig.settle();
    engine.toggleMicMute();
    EXPECT_TRUE(engine.micMute().saved().count("headset"));
    auto back = microphone("headset", 0.9f);
    back.input.muted = true; // as it was left
    const ObjectId again = rig.sim.addDevice(back);
    rig.settle();
    EXPECT_FALSE(muted(again));
    EXPECT_TRUE(engine.micMute().saved().empty());
}

TEST_F(MicMuteEngineTest, KillWhileMutedIsRepairedAtTheNextStart) {
    test::TempDirectory dir;
    const auto path = dir / "defaults.json";
    rig.store = Defaults::openFile(path);
    rig.start().toggleMicMute();
    rig.engine.reset(); // killed: no quit, no restore
    rig.store.reset();
    ASSERT_TRUE(muted(builtIn));
    ASSERT_EQ(volume(usb), 0.0f);

    rig.store = Defaults::openFile(path);
    EXPECT_FALSE(rig.start().micMuted());
    EXPECT_FALSE(muted(builtIn));
    EXPECT_FLOAT_EQ(volume(usb), 0.6f);
    ASSERT_EQ(log.entries("mic").size(), 1u);
    // Nothing is left on disk either.
    EXPECT_EQ(Defaults::openFile(path)->value(MicMute::key), nullptr);
}

// The engine grabs Ctrl+Alt+Super+M and toggles through it (queueing, repeats and release are
// HotKey's); a refused grab or no key grabber at all leaves the rest working.
TEST_F(MicMuteEngineTest, HotKeyTogglesAndARefusedOrMissingOneLeavesTheEngineWorking) {
    MixerEngine& engine = rig.start();
    ASSERT_NE(engine.hotKey(), nullptr);
    EXPECT_TRUE(engine.hotKey()->isRegistered());
    const KeyCombination combination{KeySyms::m,
                                     keyModifierControl | keyModifierAlt | keyModifierSuper};
    ASSERT_EQ(rig.keys.grabs.size(), 1u);
    EXPECT_EQ(rig.keys.grabs.begin()->second, combination);
    ASSERT_TRUE(rig.keys.press(combination));
    rig.scheduler.runPending();
    EXPECT_TRUE(engine.micMuted() && muted(builtIn));
    engine.toggleMicMute();
    rig.engine.reset();
    EXPECT_TRUE(rig.keys.grabs.empty());

    rig.keys.answer = KeyGrabber::Status::taken;
    MixerEngine& refused = rig.start();
    EXPECT_FALSE(refused.hotKey()->isRegistered());
    refused.toggleMicMute(); // the panel's button still works
    EXPECT_TRUE(refused.micMuted() && muted(builtIn));
    rig.engine.reset();
    EXPECT_EQ(rig.start(/*withKeys=*/false).hotKey(), nullptr);
}

} // namespace
} // namespace voxlane
