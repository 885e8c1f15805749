// SPDX-License-Identifier: GPL-3.0-or-later
#include "mic/MicMute.h"

#include "platform/Defaults.h"
#include "platform/Log.h"
#include "support/EngineRig.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using Kind = MicMute::Saved::Kind;
using test::deviceSetup;
using test::microphone;

class MicMuteTest : public ::testing::Test, protected test::EngineRig {
protected:
    Log::Capture log;
    ObjectId builtIn = sim.addDevice(microphone("builtin"));
    ObjectId usb = sim.addDevice(microphone("usb", 0.6f, false));
    ObjectId speakers = sim.addDevice(deviceSetup("speakers", "Speakers"));
    float inputVolume(ObjectId id) { return sim.deviceVolume(id, Side::input); }
    bool inputMuted(ObjectId id) { return sim.deviceMuted(id, Side::input); }
    MicMute::SavedMap stored() {
        const auto* value = store->value(MicMute::key);
        return value ? MicMute::decode(*value).saved : MicMute::SavedMap{};
    }
};

TEST_F(MicMuteTest, MutesByHardwareMuteElseByVolumeAndRestoresExactly) {
    auto bare = microphone("bare"); // neither control can be set
    bare.input.muteSettable = false;
    bare.input.volumeSettable = false;
    const ObjectId none = sim.addDevice(bare);
    MicMute mute(sim, *store);
    mute.muteAll();
    EXPECT_TRUE(inputMuted(builtIn));
    EXPECT_EQ(inputVolume(builtIn), 1.0f); // muted, not turned down
    EXPECT_EQ(inputVolume(usb), 0.0f);
    EXPECT_FALSE(inputMuted(none) || sim.deviceMuted(speakers, Side::output));
    EXPECT_EQ(inputVolume(none), 1.0f);
    const MicMute::SavedMap expected{{"builtin", {Kind::mute, 0.0f}},
                                     {"usb", {Kind::volume, 0.6f}}};
    EXPECT_EQ(mute.saved(), expected);
    EXPECT_EQ(stored(), expected);
    mute.restore();
    EXPECT_FALSE(inputMuted(builtIn));
    EXPECT_FLOAT_EQ(inputVolume(usb), 0.6f);
    EXPECT_TRUE(mute.saved().empty());
    EXPECT_EQ(store->value(MicMute::key), nullptr); // the key is removed
}

// A microphone muted before is left muted at the restore; a second pass (the refresh while
// muted) does not save the muted state over the old one; an absent device keeps its entry until
// it comes back, turned down as it was left.
TEST_F(MicMuteTest, RestoresWhatWasBeforeEvenAfterASecondPassOrAnAbsence) {
    sim.setMute(builtIn, Side::input, true);
    MicMute mute(sim, *store);
    mute.muteAll();
    mute.muteAll();
    EXPECT_EQ(mute.saved(),
              (MicMute::SavedMap{{"builtin", {Kind::mute, 1.0f}}, {"usb", {Kind::volume, 0.6f}}}));
    sim.removeDevice(usb);
    mute.restore();
    EXPECT_TRUE(inputMuted(builtIn));
    EXPECT_EQ(mute.saved(), (MicMute::SavedMap{{"usb", {Kind::volume, 0.6f}}}));
    EXPECT_EQ(stored(), mute.saved());
    usb = sim.addDevice(microphone("usb", 0.0f, false));
    mute.restore();
    EXPECT_FLOAT_EQ(inputVolume(usb), 0.6f);
    EXPECT_TRUE(mute.saved().empty());
    EXPECT_EQ(store->value(MicMute::key), nullptr);
}

TEST_F(MicMuteTest, UnreadableControlsAreLeftAloneAndFailedWritesKeepTheBookkeeping) {
    using Op = ServerCore::Operation;
    const ObjectId camera = sim.addDevice(microphone("camera"));
    probes.injectFault(test::fault(Op::control, ServerError::failed, camera, 1));
    probes.injectFault(test::fault(Op::setMute, ServerError::failed, builtIn, 1));
    MicMute mute(sim, *store);
    mute.muteAll();
    EXPECT_EQ(mute.saved(),
              (MicMute::SavedMap{{"builtin", {Kind::mute, 0.0f}}, {"usb", {Kind::volume, 0.6f}}}));
    EXPECT_FALSE(inputMuted(builtIn)); // the write was refused, the entry stays all the same
    EXPECT_FALSE(inputMuted(camera));  // what cannot be read is not touched
    probes.injectFault(test::fault(Op::setVolume, ServerError::failed, usb, 1));
    mute.restore();
    EXPECT_TRUE(mute.saved().empty()); // dropped as if the write had worked
    EXPECT_EQ(inputVolume(usb), 0.0f);
}

TEST_F(MicMuteTest, BadStoredEntriesAreSetAsideAndTheOthersRestored) {
    sim.setMute(builtIn, Side::input, true);
    for (const char* bad : {R"(1)", R"({"kind": "mute"})", R"({"kind": "gain", "value": 0})"}) {
        sim.setVolume(usb, Side::input, 0.0f);
        store = Defaults::inMemory();
        const auto badEntry = nlohmann::json::parse(bad);
        store->setValue(MicMute::key,
                        {{"builtin", badEntry}, {"usb", {{"kind", "volume"}, {"value", 0.7}}}});
        MicMute mute(sim, *store);
        EXPECT_TRUE(mute.saved().empty()) << bad;
        EXPECT_TRUE(inputMuted(builtIn)) << bad;        // the bad entry changes nothing
        EXPECT_FLOAT_EQ(inputVolume(usb), 0.7f) << bad; // the good one is restored
        // Restoring rewrote the saved state; the bad entry is kept aside.
        EXPECT_EQ(store->value(MicMute::key), nullptr);
        EXPECT_EQ((*store->value(Defaults::unreadableKey))[MicMute::key],
                  nlohmann::json::array({{{"builtin", badEntry}}}))
            << bad;
    }
    store->setValue(MicMute::key, "not an object");
    EXPECT_TRUE(MicMute(sim, *store).saved().empty());
    const MicMute::SavedMap saved{{"a", {Kind::mute, 1.0f}}, {"b", {Kind::volume, 0.25f}}};
    const auto json = MicMute::encode(saved);
    EXPECT_EQ(json, nlohmann::json::parse(R"({"a":{"kind":"mute","value":1.0},
                                        "b":{"kind":"volume","value":0.25}})"));
    EXPECT_EQ(MicMute::decode(json).saved, saved);
    // Hand-edited values a device cannot take: any mute value but 0 means muted; volumes stay
    // within 0…1.
    EXPECT_EQ(MicMute::decode(nlohmann::json::parse(R"({"a":{"kind":"mute","value":7.5},
              "c":{"kind":"volume","value":1e300},"d":{"kind":"volume","value":-1}})"))
                  .saved,
              (MicMute::SavedMap{{"a", {Kind::mute, 1.0f}},
                                 {"c", {Kind::volume, 1.0f}},
                                 {"d", {Kind::volume, 0.0f}}}));
}

// Through the engine: the toggle, its sounds, the upkeep at each refresh, the restore at quit and
// after a crash (the hot key's way to the engine is the shell's tests').
TEST_F(MicMuteTest, EngineToggleMutesAndRestoresWithSoundsAtEachRefreshAndAtQuit) {
    MixerEngine& engine = start();
    int changes = 0;
    auto subscription =
        engine.observe([&](EngineProperty p) { changes += p == EngineProperty::micMuted; });
    engine.toggleMicMute();
    EXPECT_TRUE(engine.micMuted() && inputMuted(builtIn));
    EXPECT_EQ(inputVolume(usb), 0.0f);
    engine.toggleMicMute();
    EXPECT_FALSE(engine.micMuted() || inputMuted(builtIn));
    EXPECT_FLOAT_EQ(inputVolume(usb), 0.6f);
    ASSERT_EQ(sim.playedSounds().size(), 2u);
    EXPECT_EQ(sim.playedSounds()[0].name + " " + sim.playedSounds()[1].name, "pop tick");
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(store->value(MicMute::key), nullptr);
    // Plugged in while muted: muted at the next refresh. Unplugged while muted, unmuted, plugged
    // back: restored at the refresh that sees it.
    engine.toggleMicMute();
    const ObjectId headset = sim.addDevice(microphone("headset", 0.9f));
    EXPECT_FALSE(inputMuted(headset));
    settle();
    EXPECT_TRUE(inputMuted(headset));
    EXPECT_TRUE(engine.micMute().saved().count("headset"));
    sim.removeDevice(headset);
    settle();
    engine.toggleMicMute();
    EXPECT_TRUE(engine.micMute().saved().count("headset"));
    auto back = microphone("headset", 0.9f);
    back.input.muted = true; // as it was left
    const ObjectId again = sim.addDevice(back);
    settle();
    EXPECT_FALSE(inputMuted(again));
    EXPECT_TRUE(engine.micMute().saved().empty());
    // Quit while muted restores every microphone.
    engine.toggleMicMute();
    systemEvents.post(SystemEvent::willTerminate);
    EXPECT_FALSE(inputMuted(builtIn));
    EXPECT_FLOAT_EQ(inputVolume(usb), 0.6f);
    EXPECT_FALSE(engine.micMute().isMuted() || engine.micMuted());
    EXPECT_EQ(store->value(MicMute::key), nullptr);
}

TEST_F(MicMuteTest, EngineRepairsAKillWhileMutedAtTheNextStart) {
    test::TempDirectory dir;
    const auto path = dir / "defaults.json";
    store = Defaults::openFile(path);
    start().toggleMicMute();
    engine.reset(); // killed: no quit, no restore
    store.reset();
    ASSERT_TRUE(inputMuted(builtIn));
    ASSERT_EQ(inputVolume(usb), 0.0f);
    store = Defaults::openFile(path);
    EXPECT_FALSE(start().micMuted());
    EXPECT_FALSE(inputMuted(builtIn));
    EXPECT_FLOAT_EQ(inputVolume(usb), 0.6f);
    ASSERT_EQ(log.entries("mic").size(), 1u);
    EXPECT_EQ(Defaults::openFile(path)->value(MicMute::key), nullptr);
}

} // namespace
} // namespace voxlane
