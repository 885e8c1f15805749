// SPDX-License-Identifier: GPL-3.0-or-later
// What is particular to PipeWire behind the Hal, on the private session of
// scripts/pipewire-session.sh: application ids, links, the default metadata, routing of alert
// sounds and what volume and mute do to what is heard. What PipeWire shares with the simulated
// server is in contract/HalContractTest.cpp (run here through PipeWireHalContract.cpp).
#include "platform/server/PipeWireServer.h"
#include "support/AudioFiles.h"
#include "support/BackgroundProcess.h"
#include "support/HalAccess.h"
#include "support/TapFixture.h"

#include <cmath>
#include <map>
#include <unistd.h>

namespace voxlane {
namespace {

using test::BackgroundProcess;
using test::global;
using test::input;
using test::linksInto;
using test::output;
using test::runAndRead;

class PipeWireHalIntegrationTest : public test::TapFixture {
protected:
    void SetUp() override {
        TapFixture::SetUp();
        PipeWireHal::Options options;
        options.bundleIdResolver = [this](pid_t pid) -> std::optional<std::string> {
            ++resolverCalls[pid];
            auto it = desktopIds.find(pid);
            if (it == desktopIds.end()) return std::nullopt;
            return it->second;
        };
        std::string why;
        hal = PipeWireHal::connect(scheduler, options, &why);
        ASSERT_TRUE(hal) << why;
    }

    AudioObjectID device(const std::string& uid) { return test::deviceWithUid(*hal, uid); }
    template <typename T>
    OSStatus write(AudioObjectID object, AudioObjectPropertyAddress address, T value) {
        return test::write(*hal, object, address, value);
    }
    bool reads(AudioObjectID object, AudioObjectPropertyAddress address, float value) {
        return waitUntil([&] {
            const auto v = CA::value<float>(*hal, object, address);
            return v && std::fabs(*v - value) < 1e-4f;
        });
    }
    bool readsFlag(AudioObjectID object, AudioObjectPropertyAddress address, std::uint32_t value) {
        return waitUntil([&] { return CA::value<std::uint32_t>(*hal, object, address) == value; });
    }
    std::string metadata(const std::string& key) {
        return runAndRead({"pw-metadata", "-n", "default", "0", key});
    }

    std::map<pid_t, std::string> desktopIds;
    std::map<pid_t, int> resolverCalls;
};

TEST_F(PipeWireHalIntegrationTest, TheServerThisProgramAndWhatNeedsASink) {
    EXPECT_TRUE(hal->isConnected());
    EXPECT_EQ(hal->serverDescription().rfind("PipeWire 0.3", 0), 0u) << hal->serverDescription();
    const std::int32_t own = getpid();
    const auto self = test::processWithPid(*hal, own);
    ASSERT_NE(self, kAudioObjectUnknown);
    EXPECT_EQ(CA::value<std::int32_t>(*hal, self, global(kAudioProcessPropertyPID)), own);
    // An aggregate device plays on a sink.
    AggregateDescription aggregate;
    aggregate.uid = "on-the-microphone";
    aggregate.mainSubDevice = "mic";
    AudioObjectID device = 99;
    EXPECT_EQ(hal->createAggregateDevice(aggregate, &device), kAudioHardwareBadDeviceError);
    EXPECT_EQ(device, kAudioObjectUnknown);
}

TEST_F(PipeWireHalIntegrationTest, AppIdsComeFromPulsePropertiesElseTheResolverAskedOnce) {
    auto player = play(tone, "-play", "speakers");
    desktopIds[player->pid()] = "org.example.Player.desktop";
    BackgroundProcess pulsePlayer(
        {"paplay", "--property=application.id=org.example.PulsePlayer", "--device=speakers", tone},
        dir + "/paplay.log");
    ASSERT_TRUE(pulsePlayer.started());
    const auto played = processOf(player->pid());
    const auto pulsed = processOf(pulsePlayer.pid());
    ASSERT_TRUE(played && pulsed);
    const auto runningOutput = global(kAudioProcessPropertyIsRunningOutput);
    ASSERT_TRUE(readsFlag(played, runningOutput, 1) && readsFlag(pulsed, runningOutput, 1));
    const auto bundle = global(kAudioProcessPropertyBundleID);
    EXPECT_EQ(CA::string(*hal, pulsed, bundle), "org.example.PulsePlayer");
    EXPECT_EQ(CA::string(*hal, played, bundle), "org.example.Player.desktop");
    EXPECT_EQ(resolverCalls[player->pid()], 1);
}

TEST_F(PipeWireHalIntegrationTest, RunningOutputFollowsTheStreamsLinks) {
    // A stream that nobody links does not run; linked to a sink it does.
    BackgroundProcess player(
        {"pw-play", "-P", "{ node.name = " + tag + " node.autoconnect = false }", tone},
        dir + "/play.log");
    const auto playing = processOf(player.pid());
    ASSERT_NE(playing, kAudioObjectUnknown);
    const auto runningOutput = global(kAudioProcessPropertyIsRunningOutput);
    EXPECT_EQ(CA::value<std::uint32_t>(*hal, playing, runningOutput), 0u);
    int fired = 0;
    auto listener = test::counter(fired);
    ASSERT_EQ(hal->addPropertyListener(playing, runningOutput, listener), 0);
    ASSERT_TRUE(waitUntil([&] {
        return runAndRead({"pw-link", "-o"}).find(tag + ":output_FR") != std::string::npos;
    }));
    int status = -1;
    runAndRead({"pw-link", tag + ":output_FL", "headphones:playback_FL"}, 10, &status);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(readsFlag(playing, runningOutput, 1));
    EXPECT_EQ(fired, 1);
    hal->removePropertyListener(playing, runningOutput, listener);
}

TEST_F(PipeWireHalIntegrationTest, DefaultsGoIntoTheMetadataAndTheAlertSinkTakesAlerts) {
    const auto speakers = device("speakers");
    const auto headphones = device("headphones");
    const auto defaultOutput = global(kAudioHardwarePropertyDefaultOutputDevice);
    const auto alertOutput = global(kAudioHardwarePropertyDefaultSystemOutputDevice);
    ASSERT_EQ(write(kAudioObjectSystemObject, defaultOutput, headphones), 0);
    ASSERT_TRUE(readsFlag(kAudioObjectSystemObject, defaultOutput, headphones));
    EXPECT_NE(metadata("default.audio.sink").find("\"headphones\""), std::string::npos);
    EXPECT_NE(metadata("default.configured.audio.sink").find("\"headphones\""), std::string::npos);
    ASSERT_EQ(write(kAudioObjectSystemObject, defaultOutput, speakers), 0);
    ASSERT_TRUE(readsFlag(kAudioObjectSystemObject, defaultOutput, speakers));

    ASSERT_EQ(write(kAudioObjectSystemObject, alertOutput, headphones), 0);
    ASSERT_TRUE(readsFlag(kAudioObjectSystemObject, alertOutput, headphones));
    // (pw-play puts its own media.role over one given with -P.)
    BackgroundProcess alert(
        {"pw-play", "--media-role", "Notification", "-P", "{ node.name = " + tag + " }", tone},
        dir + "/alert.log");
    BackgroundProcess music(
        {"pw-play", "--media-role", "Music", "-P", "{ node.name = " + tag + "-music }", tone},
        dir + "/music.log");
    EXPECT_TRUE(waitUntil([&] {
        return linksInto("headphones:playback_FL").find(tag + ":output_FL") != std::string::npos &&
               linksInto("speakers:playback_FL").find(tag + "-music:output_FL") !=
                   std::string::npos;
    })) << runAndRead({"pw-link", "-l"})
        << defaultMetadata();
    EXPECT_EQ(linksInto("speakers:playback_FL").find(tag + ":output_FL"), std::string::npos);
    // Without our key the alert device follows the output again.
    runAndRead({"pw-metadata", "-n", "default", "-d", "0", "voxlane.default.alert.audio.sink"});
    EXPECT_TRUE(readsFlag(kAudioObjectSystemObject, alertOutput, speakers));
}

TEST_F(PipeWireHalIntegrationTest, SinkVolumeIsTheCubeRootOfTheGainHeard) {
    const auto speakers = device("speakers");
    const auto mainVolume = output(kAudioHardwareServiceDeviceProperty_VirtualMainVolume);
    auto player = play(tone, "", "speakers");
    EXPECT_NEAR(recordPeak("speakers", "full"), 0.5f, 0.01f);
    // The slider position whose gain is one half halves the level...
    const float half = std::cbrt(0.5f);
    ASSERT_EQ(write(speakers, mainVolume, half), 0);
    ASSERT_TRUE(reads(speakers, mainVolume, half));
    EXPECT_NEAR(recordPeak("speakers", "half"), 0.25f, 0.01f);
    // ...and the slider at 0.5 is a gain of 0.125, as on the desktop's own volume controls.
    ASSERT_EQ(write(speakers, mainVolume, 0.5f), 0);
    ASSERT_TRUE(reads(speakers, mainVolume, 0.5f));
    EXPECT_NEAR(recordPeak("speakers", "slider-half"), 0.0625f, 0.005f);
    ASSERT_EQ(write(speakers, mainVolume, 1.0f), 0);
    EXPECT_TRUE(reads(speakers, mainVolume, 1.0f));
}

TEST_F(PipeWireHalIntegrationTest, MutedMicrophoneGivesRecordersSilenceUntilRestored) {
    const auto mic = device("mic");
    // A tone fed into the virtual microphone.
    BackgroundProcess feeder(
        {"pw-play", "-P", "{ node.name = " + tag + " node.autoconnect = false }", tone},
        dir + "/feed.log");
    ASSERT_TRUE(waitUntil([&] {
        return runAndRead({"pw-link", "-o"}).find(tag + ":output_FR") != std::string::npos;
    }));
    for (const char* channel : {"FL", "FR"}) {
        int status = -1;
        runAndRead({"pw-link", tag + ":output_" + channel, std::string("mic:input_") + channel}, 10,
                   &status);
        ASSERT_EQ(status, 0);
    }
    const auto mute = input(kAudioDevicePropertyMute);
    const auto volume = input(kAudioDevicePropertyVolumeScalar);
    EXPECT_NEAR(recordPeak("mic", "open", false), 0.5f, 0.01f);
    ASSERT_EQ(write(mic, mute, std::uint32_t(1)), 0);
    ASSERT_TRUE(readsFlag(mic, mute, 1));
    EXPECT_NEAR(recordPeak("mic", "muted", false), 0.0f, 0.001f);
    ASSERT_EQ(write(mic, mute, std::uint32_t(0)), 0);
    ASSERT_TRUE(readsFlag(mic, mute, 0));
    EXPECT_NEAR(recordPeak("mic", "restored", false), 0.5f, 0.01f);
    // Input volume goes the same way (0.5 on the slider is a gain of 1/8).
    ASSERT_EQ(write(mic, volume, 0.5f), 0);
    ASSERT_TRUE(reads(mic, volume, 0.5f));
    EXPECT_NEAR(recordPeak("mic", "quiet", false), 0.0625f, 0.005f);
    ASSERT_EQ(write(mic, volume, 1.0f), 0);
    EXPECT_TRUE(reads(mic, volume, 1.0f));
}

} // namespace
} // namespace voxlane
