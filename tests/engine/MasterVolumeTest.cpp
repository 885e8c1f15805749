// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SoftVolume.h"
#include "platform/Log.h"
#include "support/EngineFixture.h"

#include <nlohmann/json.hpp>

namespace voxlane {
namespace {

class MasterVolumeTest : public test::EngineFixture {
protected:
    ObjectId startOnSoftwareDevice() {
        const auto bt = addSoftwareDevice();
        start();
        setDefaultOutput(bt);
        settle();
        return bt;
    }
};

TEST_F(MasterVolumeTest, HardwareModeMirrorsTheDeviceSoftwareModeKeepsALevelPerDevice) {
    start();
    EXPECT_FALSE(engine->softVolumeActive());
    engine->setMasterVolume(0.4f);
    EXPECT_FLOAT_EQ(sim.deviceVolume(speakers), 0.4f);
    engine->setMasterMuted(true);
    EXPECT_TRUE(sim.deviceMuted(speakers, Side::output));
    engine->setMasterVolume(0.0f); // 0 does not unmute, raising does
    EXPECT_TRUE(engine->masterMuted());
    engine->setMasterVolume(0.3f);
    EXPECT_FALSE(engine->masterMuted() || sim.deviceMuted(speakers, Side::output));
    // A change made elsewhere reaches the engine through the volume listeners, undebounced.
    ASSERT_EQ(sim.setVolume(speakers, Side::output, 0.8f), ServerError::none);
    scheduler.runPending();
    EXPECT_FLOAT_EQ(engine->masterVolume(), 0.8f);
    EXPECT_FALSE(engine->handleVolumeKey(MediaKey::volumeUp, false));
    // A device without a volume of its own: the engine keeps a level per device.
    const auto bt = addSoftwareDevice();
    setDefaultOutput(bt);
    settle();
    EXPECT_TRUE(engine->softVolumeActive());
    EXPECT_EQ(engine->masterVolume(), 1.0f);
    engine->setMasterVolume(0.25f);
    EXPECT_EQ(SoftVolume::level(*store, "bt"), 0.25f);
    setDefaultOutput(speakers);
    settle();
    EXPECT_EQ(std::pair(engine->softVolumeActive(), engine->masterVolume()),
              std::pair(false, 0.8f));
    setDefaultOutput(bt);
    settle();
    EXPECT_EQ(engine->masterVolume(), 0.25f);
    // An entry of the wrong shape reads as full volume and is left alone; hand-edited levels
    // are held to what the slider can set.
    store->setDictionary(SoftVolume::levelsKey, {{"bt", "loud"}, {"loud", 5}, {"low", -1}});
    for (auto [device, level] : {std::pair{"bt", 1.0f}, {"loud", 1.0f}, {"low", 0.0f}})
        EXPECT_EQ(SoftVolume::level(*store, device), level) << device;
    SoftVolume::setLevel(*store, 0.5f, "other");
    EXPECT_EQ(*store->dictionary(SoftVolume::levelsKey),
              (nlohmann::json{{"bt", "loud"}, {"loud", 5}, {"low", -1}, {"other", 0.5}}));
}

// The default output's controls go with the device (as when the server stops) before the new
// defaults are read: a device the server no longer knows is no device without volume.
TEST_F(MasterVolumeTest, AnOutputThatGoesIsNotTakenForOneWithoutVolume) {
    start();
    Log::Capture log;
    sim.removeDevice(speakers);
    settle();
    EXPECT_EQ(log.messages("engine"), std::vector<std::string>{}) << "software volume switched on";
}

// Ordinary steps are pressed in the shell's tests (AppShellTest); here the ends of the range and
// the keys while muted.
TEST_F(MasterVolumeTest, VolumeKeysStepOnTheGrid) {
    startOnSoftwareDevice();
    auto press = [&](float from, MediaKey key, bool fine) {
        engine->setMasterVolume(from);
        EXPECT_TRUE(engine->handleVolumeKey(key, fine));
        return engine->masterVolume();
    };
    EXPECT_FLOAT_EQ(press(0.98f, MediaKey::volumeUp, false), 1.0f);
    EXPECT_FLOAT_EQ(press(0.03f, MediaKey::volumeDown, false), 0.0f);
    engine->setMasterVolume(0.5f);
    engine->handleVolumeKey(MediaKey::mute, false);
    EXPECT_TRUE(engine->masterMuted());
    // Down while muted stays muted, up unmutes.
    for (auto [key, volume, muted] :
         {std::tuple{MediaKey::volumeDown, 0.4375f, true}, {MediaKey::volumeUp, 0.5f, false}}) {
        EXPECT_TRUE(engine->handleVolumeKey(key, false));
        EXPECT_EQ(std::pair(engine->masterVolume(), engine->masterMuted()),
                  std::pair(volume, muted));
    }
    store->remove(AudioPermission::grantedKey);
    engine.reset();
    start();
    EXPECT_TRUE(engine->softVolumeActive());
    EXPECT_FALSE(engine->handleVolumeKey(MediaKey::volumeUp, false)) << "no access: the system's";
}

TEST_F(MasterVolumeTest, GlobalTapCarriesTheMasterGainToUntappedApps) {
    const auto bt = addSoftwareDevice();
    const auto music = addApp(2001, "org.example.Music", "Music", SimServer::Signal::sine(0.5f));
    addAppOn(headphones, 2002, "org.example.Radio", "Radio", SimServer::Signal::sine(0.5f));
    start();
    setDefaultOutput(bt);
    sim.setProcessDevice(music, bt);
    settle();
    engine->setMasterVolume(0.5f);
    ASSERT_TRUE(engine->globalTap());
    // The global tap takes everything that has no tap of its own, the radio on the headphones
    // too, to the default output at the master gain: two in-phase sines of 0.5 at 0.25.
    EXPECT_NEAR(settledPeak(bt), 1.0f * 0.25f, 0.005f);
    EXPECT_EQ(sim.peak(headphones), 0.0f);
    // Process taps carry the master gain themselves on the default output (the tap plan's test).
    engine->setMasterMuted(true);
    EXPECT_LT(settledPeak(bt), 1e-6f);
}

TEST_F(MasterVolumeTest, GlobalTapExclusionsAreSortedAndRebuiltOnlyWhenTheyChange) {
    const auto b = addApp(2002, "org.example.B", "B");
    const auto a = addApp(2001, "org.example.A", "A");
    startOnSoftwareDevice();
    ASSERT_TRUE(engine->globalTap());
    EXPECT_EQ(*engine->globalTap()->excluding(), (std::vector<ObjectId>{own}));
    const auto first = engine->globalTap()->tapID();

    engine->setMasterVolume(0.3f); // a gain change alone keeps the tap
    EXPECT_EQ(engine->globalTap()->tapID(), first);
    EXPECT_FLOAT_EQ(engine->globalTap()->state().load(TapState::targetGain), 0.09f);
    engine->setVolume(0.7f, "org.example.B");
    engine->setVolume(0.7f, "org.example.A");
    EXPECT_EQ(*engine->globalTap()->excluding(), (std::vector<ObjectId>{own, b, a})) << "sorted";
    EXPECT_NE(engine->globalTap()->tapID(), first);
    EXPECT_EQ(probes.liveTaps(), 3u) << "two app taps and one global tap, the old one gone";

    setDefaultOutput(speakers); // hardware volume again: no global tap
    settle();
    EXPECT_FALSE(engine->globalTap());
}

} // namespace
} // namespace voxlane
