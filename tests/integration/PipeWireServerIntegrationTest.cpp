// SPDX-License-Identifier: GPL-3.0-or-later
// What is particular to the PipeWire server, on the private session of
// scripts/pipewire-session.sh: application ids, links, the default metadata, routing of alert
// sounds and what volume and mute do to what is heard. What PipeWire shares with the simulated
// server is in contract/ServerContractTest.cpp (run here through PipeWireServerContract.cpp);
// our own taps on it are in TapsOnPipeWireTest.cpp.
#include "contract/ServerContract.h"
#include "support/TapFixture.h"

#include <cmath>
#include <map>

namespace voxlane {
namespace {

using test::BackgroundProcess;
using test::linksInto;
using test::runAndRead;

class PipeWireServerIntegrationTest : public test::TapFixture {
protected:
    ObjectId device(const std::string& uid) { return test::deviceWithUid(*server, uid); }
    bool reads(ObjectId device, Side side, std::optional<float> volume, bool mute = false) {
        return waitUntil([&] {
            const auto c = server->control(device, side);
            return c && c->mute.value_or(false) == mute &&
                   (!volume || (c->volume && std::fabs(*c->volume - *volume) < 1e-4f));
        });
    }
    bool defaultIs(Role role, ObjectId device) {
        return waitUntil([&] { return server->defaultDevice(role) == device; });
    }
    // A player that nobody links, whose ports are up.
    std::unique_ptr<BackgroundProcess> unlinkedPlayer() {
        auto player = std::make_unique<BackgroundProcess>(
            std::vector<std::string>{"pw-play", "-P",
                                     "{ node.name = " + tag + " node.autoconnect = false }", tone},
            dir + "/unlinked.log");
        EXPECT_TRUE(waitUntil([&] {
            return runAndRead({"pw-link", "-o"}).find(tag + ":output_FR") != std::string::npos;
        }));
        return player;
    }
    void link(const std::string& from, const std::string& to) {
        int status = -1;
        runAndRead({"pw-link", tag + ":output_" + from, to}, 10, &status);
        EXPECT_EQ(status, 0) << from << " -> " << to;
    }
};

// App ids come from PulseAudio's properties, else from the resolver, asked once; a stream plays
// once it is linked.
TEST_F(PipeWireServerIntegrationTest, AppIdsAndPlayingFollowPulsePropertiesTheResolverAndLinks) {
    std::map<pid_t, int> resolverCalls;
    PipeWireServer::Options options;
    options.appIdResolver = [&](pid_t pid) -> std::optional<std::string> {
        ++resolverCalls[pid];
        return "org.example.Player.desktop";
    };
    server = PipeWireServer::connect(scheduler, options);
    ASSERT_TRUE(server);
    auto player = unlinkedPlayer();
    BackgroundProcess pulsePlayer(
        {"paplay", "--property=application.id=org.example.PulsePlayer", "--device=speakers", tone},
        dir + "/paplay.log");
    const auto played = processOf(player->pid());
    const auto pulsed = processOf(pulsePlayer.pid());
    ASSERT_TRUE(played && pulsed);
    ASSERT_TRUE(waitUntil([&] { return server->process(pulsed)->playing; }));
    EXPECT_FALSE(server->process(played)->playing);
    int fired = 0;
    auto subscription = server->subscribe(Change::running, played, [&] { ++fired; });
    ASSERT_TRUE(subscription);
    link("FL", "headphones:playback_FL");
    ASSERT_TRUE(waitUntil([&] { return server->process(played)->playing; }));
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(server->process(pulsed)->appId, "org.example.PulsePlayer");
    EXPECT_EQ(server->process(played)->appId, "org.example.Player.desktop");
    EXPECT_EQ(resolverCalls[player->pid()], 1);

    // An aggregate device plays on a sink.
    AggregateDescription aggregate;
    aggregate.uid = "on-the-microphone";
    aggregate.mainSubDevice = "mic";
    ServerError error = ServerError::none;
    EXPECT_FALSE(server->createAggregate(aggregate, &error));
    EXPECT_EQ(error, ServerError::badValue);
}

TEST_F(PipeWireServerIntegrationTest, DefaultsGoIntoTheMetadataAndTheAlertSinkTakesAlerts) {
    const auto speakers = device("speakers");
    const auto headphones = device("headphones");
    ASSERT_EQ(server->setDefaultDevice(Role::output, headphones), ServerError::none);
    ASSERT_TRUE(defaultIs(Role::output, headphones));
    for (const char* key : {"default.audio.sink", "default.configured.audio.sink"})
        EXPECT_NE(runAndRead({"pw-metadata", "-n", "default", "0", key}).find("\"headphones\""),
                  std::string::npos)
            << key;
    ASSERT_EQ(server->setDefaultDevice(Role::output, speakers), ServerError::none);
    ASSERT_TRUE(defaultIs(Role::output, speakers));

    ASSERT_EQ(server->setDefaultDevice(Role::alerts, headphones), ServerError::none);
    ASSERT_TRUE(defaultIs(Role::alerts, headphones));
    // (pw-play puts its own media.role over one given with -P.)
    BackgroundProcess alert(
        {"pw-play", "--media-role", "Notification", "-P", "{ node.name = " + tag + " }", tone},
        dir + "/alert.log");
    auto music = play(tone, "-music");
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

// The slider position is the cube root of the gain heard, on a sink and on a source alike.
TEST_F(PipeWireServerIntegrationTest, VolumeAndMuteAreHeardOnSinksAndSources) {
    const auto speakers = device("speakers");
    auto player = play(tone, "-sink", "speakers");
    EXPECT_NEAR(recordPeak("speakers", "full"), 0.5f, 0.01f);
    ASSERT_EQ(server->setVolume(speakers, Side::output, 0.5f), ServerError::none);
    ASSERT_TRUE(reads(speakers, Side::output, 0.5f));
    EXPECT_NEAR(recordPeak("speakers", "slider-half"), 0.0625f, 0.005f);
    ASSERT_EQ(server->setVolume(speakers, Side::output, 1.0f), ServerError::none);
    EXPECT_TRUE(reads(speakers, Side::output, 1.0f));
    EXPECT_EQ(server->setMute(speakers, Side::input, true), ServerError::unsupported);

    // A tone fed into the virtual microphone.
    const auto mic = device("mic");
    auto feeder = unlinkedPlayer();
    for (const std::string channel : {"FL", "FR"})
        link(channel, "mic:input_" + channel);
    EXPECT_NEAR(recordPeak("mic", "open", false), 0.5f, 0.01f);
    ASSERT_EQ(server->setMute(mic, Side::input, true), ServerError::none);
    ASSERT_TRUE(reads(mic, Side::input, std::nullopt, true));
    EXPECT_NEAR(recordPeak("mic", "muted", false), 0.0f, 0.001f);
    ASSERT_EQ(server->setMute(mic, Side::input, false), ServerError::none);
    ASSERT_TRUE(reads(mic, Side::input, std::nullopt, false));
    EXPECT_NEAR(recordPeak("mic", "restored", false), 0.5f, 0.01f);
}

} // namespace
} // namespace voxlane
