// SPDX-License-Identifier: GPL-3.0-or-later
// Microphone mute through the engine: the toggle, its sounds, the upkeep at each refresh, the
// restore at quit and after a crash (the hot key's way to the engine is the shell's tests').
#include "mic/MicMute.h"
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
};

TEST_F(MicMuteEngineTest, ToggleMutesAndRestoresWithSoundsAndQuitRestoresToo) {
    MixerEngine& engine = rig.start();
    int changes = 0;
    auto subscription =
        engine.observe([&](EngineProperty p) { changes += p == EngineProperty::micMuted; });
    engine.toggleMicMute();
    EXPECT_TRUE(engine.micMuted() && muted(builtIn));
    EXPECT_EQ(volume(usb), 0.0f);
    engine.toggleMicMute();
    EXPECT_FALSE(engine.micMuted() || muted(builtIn));
    EXPECT_FLOAT_EQ(volume(usb), 0.6f);
    ASSERT_EQ(rig.sim.playedSounds().size(), 2u);
    EXPECT_EQ(rig.sim.playedSounds()[0].name + " " + rig.sim.playedSounds()[1].name, "pop tick");
    EXPECT_EQ(changes, 2);
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
    EXPECT_EQ(Defaults::openFile(path)->value(MicMute::key), nullptr);
}

} // namespace
} // namespace voxlane
