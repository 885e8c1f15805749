// SPDX-License-Identifier: GPL-3.0-or-later
// What is particular to the PipeWire server, on the private session of
// scripts/pipewire-session.sh: application ids, links, the default metadata, routing of alert
// sounds and what volume and mute do to what is heard. What PipeWire shares with the simulated
// server is in contract/ServerContractTest.cpp (run here through PipeWireServerContract.cpp);
// our own taps on it are in TapsOnPipeWireTest.cpp.
#include "platform/server/PipeWireServer.h"
#include "support/AudioFiles.h"
#include "support/BackgroundProcess.h"
#include "support/TapFixture.h"

#include <cmath>
#include <map>
#include <unistd.h>

namespace voxlane {
namespace {

using test::BackgroundProcess;
using test::linksInto;
using test::runAndRead;

class PipeWireServerIntegrationTest : public test::TapFixture {
protected:
    void SetUp() override {
        TapFixture::SetUp();
        PipeWireServer::Options options;
        options.appIdResolver = [this](pid_t pid) -> std::optional<std::string> {
            ++resolverCalls[pid];
            auto it = desktopIds.find(pid);
            if (it == desktopIds.end()) return std::nullopt;
            return it->second;
        };
        std::string why;
        server = PipeWireServer::connect(scheduler, options, &why);
        ASSERT_TRUE(server) << why;
    }

    ObjectId device(const std::string& uid) {
        for (ObjectId id : server->devices())
            if (server->device(id)->uid == uid) return id;
        ADD_FAILURE() << "no device " << uid;
        return noObject;
    }
    bool volumeReads(ObjectId device, Side side, float value) {
        return waitUntil([&] {
            const auto control = server->control(device, side);
            return control && control->volume && std::fabs(*control->volume - value) < 1e-4f;
        });
    }
    bool muteReads(ObjectId device, Side side, bool value) {
        return waitUntil([&] {
            const auto control = server->control(device, side);
            return control && control->mute == value;
        });
    }
    bool defaultIs(Role role, ObjectId device) {
        return waitUntil([&] { return server->defaultDevice(role) == device; });
    }
    std::string metadata(const std::string& key) {
        return runAndRead({"pw-metadata", "-n", "default", "0", key});
    }

    std::map<pid_t, std::string> desktopIds;
    std::map<pid_t, int> resolverCalls;
};

TEST_F(PipeWireServerIntegrationTest, TheServerThisProgramAndWhatNeedsASink) {
    EXPECT_TRUE(server->isConnected());
    EXPECT_TRUE(server->connected());
    EXPECT_EQ(server->serverDescription().rfind("PipeWire 0.3", 0), 0u)
        << server->serverDescription();
    const std::int32_t own = getpid();
    const auto self = server->processOf(own);
    ASSERT_NE(self, noObject);
    EXPECT_EQ(server->process(self)->pid, own);
    // An aggregate device plays on a sink.
    AggregateDescription aggregate;
    aggregate.uid = "on-the-microphone";
    aggregate.mainSubDevice = "mic";
    ServerError error = ServerError::none;
    EXPECT_FALSE(server->createAggregate(aggregate, &error));
    EXPECT_EQ(error, ServerError::badValue);
}

TEST_F(PipeWireServerIntegrationTest, AppIdsComeFromPulsePropertiesElseTheResolverAskedOnce) {
    auto player = play(tone, "-play", "speakers");
    desktopIds[player->pid()] = "org.example.Player.desktop";
    BackgroundProcess pulsePlayer(
        {"paplay", "--property=application.id=org.example.PulsePlayer", "--device=speakers", tone},
        dir + "/paplay.log");
    ASSERT_TRUE(pulsePlayer.started());
    const auto played = processOf(player->pid());
    const auto pulsed = processOf(pulsePlayer.pid());
    ASSERT_TRUE(played && pulsed);
    ASSERT_TRUE(waitUntil(
        [&] { return server->process(played)->playing && server->process(pulsed)->playing; }));
    EXPECT_EQ(server->process(pulsed)->appId, "org.example.PulsePlayer");
    EXPECT_EQ(server->process(played)->appId, "org.example.Player.desktop");
    EXPECT_EQ(resolverCalls[player->pid()], 1);
}

TEST_F(PipeWireServerIntegrationTest, PlayingFollowsTheStreamsLinks) {
    // A stream that nobody links does not run; linked to a sink it does.
    BackgroundProcess player(
        {"pw-play", "-P", "{ node.name = " + tag + " node.autoconnect = false }", tone},
        dir + "/play.log");
    const auto playing = processOf(player.pid());
    ASSERT_NE(playing, noObject);
    EXPECT_FALSE(server->process(playing)->playing);
    int fired = 0;
    auto subscription = server->subscribe(Change::running, playing, [&] { ++fired; });
    ASSERT_TRUE(subscription);
    ASSERT_TRUE(waitUntil([&] {
        return runAndRead({"pw-link", "-o"}).find(tag + ":output_FR") != std::string::npos;
    }));
    int status = -1;
    runAndRead({"pw-link", tag + ":output_FL", "headphones:playback_FL"}, 10, &status);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(waitUntil([&] { return server->process(playing)->playing; }));
    EXPECT_EQ(fired, 1);
}

TEST_F(PipeWireServerIntegrationTest, DefaultsGoIntoTheMetadataAndTheAlertSinkTakesAlerts) {
    const auto speakers = device("speakers");
    const auto headphones = device("headphones");
    ASSERT_EQ(server->setDefaultDevice(Role::output, headphones), ServerError::none);
    ASSERT_TRUE(defaultIs(Role::output, headphones));
    EXPECT_NE(metadata("default.audio.sink").find("\"headphones\""), std::string::npos);
    EXPECT_NE(metadata("default.configured.audio.sink").find("\"headphones\""), std::string::npos);
    ASSERT_EQ(server->setDefaultDevice(Role::output, speakers), ServerError::none);
    ASSERT_TRUE(defaultIs(Role::output, speakers));

    ASSERT_EQ(server->setDefaultDevice(Role::alerts, headphones), ServerError::none);
    ASSERT_TRUE(defaultIs(Role::alerts, headphones));
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
    EXPECT_TRUE(defaultIs(Role::alerts, speakers));
}

TEST_F(PipeWireServerIntegrationTest, SinkVolumeIsTheCubeRootOfTheGainHeard) {
    const auto speakers = device("speakers");
    auto player = play(tone, "", "speakers");
    EXPECT_NEAR(recordPeak("speakers", "full"), 0.5f, 0.01f);
    // The slider position whose gain is one half halves the level...
    const float half = std::cbrt(0.5f);
    ASSERT_EQ(server->setVolume(speakers, Side::output, half), ServerError::none);
    ASSERT_TRUE(volumeReads(speakers, Side::output, half));
    EXPECT_NEAR(recordPeak("speakers", "half"), 0.25f, 0.01f);
    // ...and the slider at 0.5 is a gain of 0.125, as on the desktop's own volume controls.
    ASSERT_EQ(server->setVolume(speakers, Side::output, 0.5f), ServerError::none);
    ASSERT_TRUE(volumeReads(speakers, Side::output, 0.5f));
    EXPECT_NEAR(recordPeak("speakers", "slider-half"), 0.0625f, 0.005f);
    ASSERT_EQ(server->setVolume(speakers, Side::output, 1.0f), ServerError::none);
    EXPECT_TRUE(volumeReads(speakers, Side::output, 1.0f));
    // A sink has no input side to set.
    EXPECT_EQ(server->setMute(speakers, Side::input, true), ServerError::unsupported);
}

TEST_F(PipeWireServerIntegrationTest, MutedMicrophoneGivesRecordersSilenceUntilRestored) {
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
    EXPECT_NEAR(recordPeak("mic", "open", false), 0.5f, 0.01f);
    ASSERT_EQ(server->setMute(mic, Side::input, true), ServerError::none);
    ASSERT_TRUE(muteReads(mic, Side::input, true));
    EXPECT_NEAR(recordPeak("mic", "muted", false), 0.0f, 0.001f);
    ASSERT_EQ(server->setMute(mic, Side::input, false), ServerError::none);
    ASSERT_TRUE(muteReads(mic, Side::input, false));
    EXPECT_NEAR(recordPeak("mic", "restored", false), 0.5f, 0.01f);
    // Input volume goes the same way (0.5 on the slider is a gain of 1/8).
    ASSERT_EQ(server->setVolume(mic, Side::input, 0.5f), ServerError::none);
    ASSERT_TRUE(volumeReads(mic, Side::input, 0.5f));
    EXPECT_NEAR(recordPeak("mic", "quiet", false), 0.0625f, 0.005f);
    ASSERT_EQ(server->setVolume(mic, Side::input, 1.0f), ServerError::none);
    EXPECT_TRUE(volumeReads(mic, Side::input, 1.0f));
}

} // namespace
} // namespace voxlane
