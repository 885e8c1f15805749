// SPDX-License-Identifier: GPL-3.0-or-later
// Voxlane and a PipeWire that goes away: the daemon killed, WirePlumber restarted, the server
// started after Voxlane. Each test runs a private session of its own, so that it may kill it.
#include "engine/MixerEngine.h"
#include "platform/AppIdentifier.h"
#include "platform/Defaults.h"
#include "platform/StaticWorkspace.h"
#include "platform/SystemEvents.h"
#include "platform/SystemSounds.h"
#include "support/TapFixture.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace voxlane {
namespace {

using test::linksInto;
using test::runAndRead;

std::size_t entriesIn(const std::string& path) {
    return std::distance(std::filesystem::directory_iterator(path), {});
}

class ServerRestartTest : public test::TapFixture {
protected:
    void SetUp() override {
        char state[] = "/tmp/vxstate.XXXXXX";
        ASSERT_EQ(close(mkstemp(state)), 0);
        stateFile = state;
        int status = -1;
        runAndRead({VOXLANE_SESSION_SCRIPT, "prepare", "--state", stateFile}, 10, &status);
        ASSERT_EQ(status, 0);
        std::ifstream in(stateFile);
        std::string session;
        std::getline(in, session);
        setenv("VOXLANE_PW_SESSION_DIR", session.c_str(), 1);
        unsetenv("VOXLANE_PW_SESSION_STATE");
        std::string error;
        ASSERT_EQ(test::PipeWireSession::enter(&error), session) << error;
        useSession(session);
        workspace.pid = getpid();
    }

    void TearDown() override {
        engine.reset();
        sounds.reset();
        server.reset();
        runAndRead({VOXLANE_SESSION_SCRIPT, "stop", "--state", stateFile}, 30);
        unlink(stateFile.c_str());
    }

    // Starts the daemons that do not run and waits until the default devices are published.
    void up() {
        int status = -1;
        runAndRead({VOXLANE_SESSION_SCRIPT, "up", sessionDir}, 30, &status);
        ASSERT_EQ(status, 0) << "the private PipeWire did not start";
    }
    void kill(const std::string& daemon) {
        std::ifstream in(sessionDir + "/pid." + daemon);
        pid_t pid = 0;
        ASSERT_TRUE(in >> pid);
        ASSERT_EQ(::kill(pid, SIGKILL), 0);
    }

    // What Voxlane's server model holds: its devices and defaults.
    std::string modelText() const {
        const ServerModel model = server->model();
        std::string text = "model: connected " + std::to_string(model.connected) + ", defaults";
        for (ObjectId id : model.defaults)
            text += " " + std::to_string(id);
        for (const auto& [id, d] : model.devices)
            text += "\n  " + std::to_string(id) + " " + d.info.uid +
                    (d.info.hasOutput() ? " out" : "") + (d.listed ? "" : " unlisted");
        return text;
    }

    void startVoxlane() {
        PipeWireServer::Options options;
        server = PipeWireServer::start(scheduler, options);
        defaults = Defaults::openFile(dir + "/defaults.json");
        defaults->setBoolean(AudioPermission::grantedKey, true);
        sounds = std::make_unique<SystemSounds>(*server);
        engine = std::make_unique<MixerEngine>(
            EngineServices{*server, scheduler, *defaults, workspace, *sounds, events, {}, {}});
        engine->setVolume(0.5f, "process.pw-play"); // stored before the app is there
    }

    // A player on the speakers, known to the engine as the app "process.pw-play".
    std::unique_ptr<test::BackgroundProcess> player() {
        auto p = play(tone, "", "speakers");
        workspace.names[p->pid()] = "pw-play";
        return p;
    }

    // The player is heard only through its tap, at its stored level (0.5 → gain 0.25).
    bool playsAtItsStoredLevel() {
        if (!waitUntil([&] {
                const auto it = engine->taps().find("process.pw-play");
                if (it == engine->taps().end()) return false;
                const std::string links = linksInto("speakers:playback_FL");
                return links.find(tag + ":output_FL") == std::string::npos &&
                       links.find(std::string(AppIdentifier)) != std::string::npos;
            })) {
            ADD_FAILURE() << engine->taps().size() << " taps, " << engine->apps().size()
                          << " apps, output "
                          << (engine->defaultOutput() ? engine->defaultOutput()->uid : "none")
                          << ", playing "
                          << (engine->apps().empty() ? -1 : engine->apps()[0].isPlaying())
                          << " apps; into the speakers: " << linksInto("speakers:playback_FL")
                          << "\n"
                          << defaultMetadata() << runAndRead({"pw-link", "-l"})
                          << runAndRead({"pw-cli", "ls", "Node"})
                          << runAndRead({"tail", "-n", "30", sessionDir + "/wireplumber.log"});
            return false;
        }
        const float peak = recordPeak("speakers", "level");
        EXPECT_NEAR(peak, 0.125f, 0.01f);
        return std::abs(peak - 0.125f) < 0.01f;
    }

    std::string stateFile;
    StaticWorkspace workspace;
    std::unique_ptr<Defaults> defaults;
    std::unique_ptr<SystemSounds> sounds;
    SystemEvents events;
    std::unique_ptr<MixerEngine> engine;
};

TEST_F(ServerRestartTest, AKilledDaemonComesBackWithEverythingTheUserSet) {
    up();
    startVoxlane();
    auto first = player();
    ASSERT_TRUE(playsAtItsStoredLevel());

    kill("pipewire");
    ASSERT_TRUE(waitUntil([&] { return !engine->serverConnected(); }));
    EXPECT_TRUE(engine->apps().empty());
    EXPECT_TRUE(engine->taps().empty());
    EXPECT_FALSE(engine->defaultOutput());
    EXPECT_FALSE(engine->masterVolumeKnown());
    first->stop();

    up();
    auto second = player();
    ASSERT_TRUE(waitUntil([&] { return engine->taps().count("process.pw-play") > 0; }, 5));
    EXPECT_TRUE(engine->serverConnected());
    EXPECT_TRUE(playsAtItsStoredLevel());
}

TEST_F(ServerRestartTest, WirePlumberAloneRestartedEndsTheSameWay) {
    up();
    startVoxlane();
    auto first = player();
    ASSERT_TRUE(playsAtItsStoredLevel());

    kill("wireplumber");
    // Its defaults and metadata go with it; the server stays.
    ASSERT_TRUE(waitUntil([&] { return !engine->defaultOutput(); }));
    EXPECT_TRUE(engine->serverConnected());
    EXPECT_TRUE(engine->taps().empty()) << "no output: nothing to play to";
    EXPECT_TRUE(ourNodes().empty());

    // Back with its defaults: the tap is built again, the player is sent to our sink and our
    // sink plays to the speakers. (WirePlumber 0.4 restarted here links nothing at all, not
    // even a plain player to the speakers, so the level is not measured.)
    up();
    // A session manager starting on a busy machine may take longer than the usual wait.
    ASSERT_TRUE(waitUntil([&] { return engine->taps().count("process.pw-play") > 0; }, 30.0))
        << engine->apps().size() << " apps, output "
        << (engine->defaultOutput() ? engine->defaultOutput()->uid : "none") << "\n"
        << defaultMetadata() << "\n"
        << modelText();
    EXPECT_TRUE(waitUntil([&] {
        const std::string metadata = defaultMetadata();
        return ourNodes().size() == 2 &&
               metadata.find("target.object' value:'" + std::string(AppIdentifier)) !=
                   std::string::npos;
    }));
}

// Our sinks are plumbing: with every real output gone none of them becomes the default, and no
// tap plays into another.
TEST_F(ServerRestartTest, WithEveryOutputGoneNoTapStandsInForOne) {
    up();
    startVoxlane();
    engine->setVolume(0.8f, "process.player-b");
    auto a = play(tone, "-a", "speakers");
    auto b = play(tone, "-b", "headphones");
    workspace.names[a->pid()] = "pw-play";
    workspace.names[b->pid()] = "player-b";
    ASSERT_TRUE(waitUntil([&] { return engine->taps().size() == 2 && ourNodes().size() == 4; }));

    ASSERT_EQ(test::destroyNodes({"speakers", "headphones"}), 2);
    // For a while (long enough for the session manager to choose a default among what is
    // left, its own fallback sink included): none of ours is the default, none feeds another.
    auto tapIntoTap = [] {
        std::istringstream links(runAndRead({"pw-link", "-l"}));
        std::string line, port;
        while (std::getline(links, line)) {
            if (!line.starts_with(" ")) {
                port = line;
            } else if (const auto arrow = line.find("|-> "); arrow != std::string::npos) {
                if (port.starts_with(AppIdentifier) &&
                    line.compare(arrow + 4, AppIdentifier.size(), AppIdentifier) == 0)
                    return true;
            }
        }
        return false;
    };
    EXPECT_FALSE(waitUntil(
        [&] {
            const std::string sink =
                runAndRead({"pw-metadata", "-n", "default", "0", "default.audio.sink"});
            return sink.find(AppIdentifier) != std::string::npos || tapIntoTap();
        },
        3.0))
        << defaultMetadata() << runAndRead({"pw-link", "-l"});
}

TEST_F(ServerRestartTest, StartedBeforeTheServerItWaitsAndShowsNothingMadeUp) {
    std::set<std::string> devicesSeen;
    std::size_t appsSeen = 0;
    startVoxlane();
    auto watch = engine->observe([&](EngineProperty) {
        for (const auto& device : engine->outputDevices())
            devicesSeen.insert(device.uid);
        for (const auto& device : engine->inputDevices())
            devicesSeen.insert(device.uid);
        appsSeen = std::max(appsSeen, engine->apps().size());
    });
    EXPECT_FALSE(engine->serverConnected());
    EXPECT_TRUE(engine->outputDevices().empty());
    EXPECT_TRUE(engine->apps().empty());
    EXPECT_FALSE(engine->masterVolumeKnown());
    EXPECT_FALSE(waitUntil([&] { return engine->serverConnected(); }, 3.0));
    EXPECT_TRUE(devicesSeen.empty());
    EXPECT_EQ(appsSeen, 0u);

    up();
    auto playing = player();
    ASSERT_TRUE(waitUntil([&] { return engine->taps().count("process.pw-play") > 0; }, 5));
    EXPECT_TRUE(playsAtItsStoredLevel());
    EXPECT_EQ(devicesSeen, (std::set<std::string>{"speakers", "headphones", "mic"}));
}

TEST_F(ServerRestartTest, MutedMicrophonesStayMutedAcrossStatusQueriesAndRestarts) {
    up();
    startVoxlane();
    ASSERT_TRUE(waitUntil([&] { return engine->defaultInput().has_value(); }));
    engine->toggleMicMute();
    auto micMuted = [&] {
        const auto mic = engine->defaultInput();
        const auto control = mic ? server->control(mic->id, Side::input) : std::nullopt;
        return control && control->mute == true;
    };
    ASSERT_TRUE(waitUntil(micMuted));

    // Looking, with the same settings, changes nothing (that it leaves the settings alone is
    // tested in tests/cli).
    std::filesystem::create_directories(dir + "/status/voxlane");
    std::filesystem::copy_file(dir + "/defaults.json", dir + "/status/voxlane/defaults.json");
    for (int i = 0; i < 20; ++i) {
        int status = -1;
        runAndRead(
            {"env", "XDG_CONFIG_HOME=" + dir + "/status", VOXLANE_PATH, "--status", "--json"}, 10,
            &status);
        ASSERT_EQ(status, 0);
    }
    EXPECT_FALSE(waitUntil([&] { return !micMuted(); }, 1.0)) << "a status query unmuted it";

    // The microphone goes and comes back (a fresh server knows nothing of the mute).
    kill("pipewire");
    ASSERT_TRUE(waitUntil([&] { return !engine->serverConnected(); }));
    up();
    EXPECT_TRUE(waitUntil(micMuted, 5)) << "the microphone came back live";
    EXPECT_TRUE(engine->micMuted());
    engine->toggleMicMute();
    EXPECT_TRUE(waitUntil([&] { return !micMuted() && engine->defaultInput(); }));
}

TEST_F(ServerRestartTest, TwentyRestartsLeaveNothingBehind) {
    up();
    startVoxlane();
    auto playing = player();
    // The audio of a rebuilt tap is measured in the tests above; here it is enough that the
    // tap stands again with its two nodes.
    auto routed = [&] {
        return engine->taps().count("process.pw-play") > 0 && ourNodes().size() == 2;
    };
    ASSERT_TRUE(waitUntil(routed));
    // Open files, threads and our nodes.
    auto count = [&] {
        return std::vector{entriesIn("/proc/self/fd"), entriesIn("/proc/self/task"),
                           ourNodes().size()};
    };
    const auto start = count();
    for (int cycle = 0; cycle < 20; ++cycle) {
        kill("pipewire");
        ASSERT_TRUE(waitUntil([&] { return !engine->serverConnected(); })) << cycle;
        playing->stop();
        up();
        playing = player();
        ASSERT_TRUE(waitUntil(routed)) << "cycle " << cycle << ": " << engine->apps().size()
                                       << " apps, " << engine->taps().size() << " taps";
        ASSERT_TRUE(waitUntil([&] { return count() == start; }, 5))
            << "cycle " << cycle << ": " << ::testing::PrintToString(count()) << " against "
            << ::testing::PrintToString(start);
    }
}

} // namespace
} // namespace voxlane
