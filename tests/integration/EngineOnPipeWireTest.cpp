// SPDX-License-Identifier: GPL-3.0-or-later
// The engine and `voxlane --status` on a real, private PipeWire: the apps that real clients
// (pw-play, paplay, pw-record) make appear grouped, with the session's devices and defaults.
#include "engine/MixerEngine.h"
#include "platform/Defaults.h"
#include "platform/ManualScheduler.h"
#include "platform/StaticWorkspace.h"
#include "platform/SystemEvents.h"
#include "platform/SystemSounds.h"
#include "platform/server/PipeWireServer.h"
#include "support/AudioFiles.h"
#include "support/BackgroundProcess.h"
#include "support/PipeWireSession.h"

#include <chrono>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace voxlane {
namespace {

using test::BackgroundProcess;

class EngineOnPipeWireTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        sessionDir = test::PipeWireSession::enter(&error);
        ASSERT_FALSE(sessionDir.empty()) << error;
        dir = sessionDir + "/engine-" + std::to_string(getpid());
        mkdir(dir.c_str(), 0700);
        tone = dir + "/tone.wav";
        ASSERT_TRUE(test::AudioFiles::writeTone(tone, 30, 0.3f));
    }

    // Real servers need real time: poll with a generous deadline.
    static bool eventually(const std::function<bool()>& done, double seconds = 10.0) {
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        while (!done()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    std::string sessionDir, dir, tone;
};

TEST_F(EngineOnPipeWireTest, EngineGroupsRealClientsIntoApps) {
    ManualScheduler scheduler;
    std::string why;
    auto server = PipeWireServer::connect(scheduler, {}, &why);
    ASSERT_TRUE(server) << why;
    StaticWorkspace workspace;
    workspace.pid = getpid();
    auto defaults = Defaults::inMemory();
    SystemSounds sounds(*server);
    SystemEvents events;

    BackgroundProcess player({"pw-play", "--target", "speakers", tone}, dir + "/play.log");
    BackgroundProcess pulse({"paplay", "--property=application.id=org.example.PulsePlayer",
                             "--device=headphones", tone},
                            dir + "/paplay.log");
    BackgroundProcess recorder({"pw-record", "--target", "mic", dir + "/rec.wav"},
                               dir + "/rec.log");
    workspace.names[player.pid()] = "pw-play";
    workspace.names[recorder.pid()] = "pw-record";

    MixerEngine engine({*server, scheduler, *defaults, workspace, sounds, events, {}, {}});
    auto app = [&](const std::string& id) -> const AppGroup* {
        for (const auto& group : engine.apps())
            if (group.id == id) return &group;
        return nullptr;
    };
    ASSERT_TRUE(eventually([&] {
        scheduler.advance(0.2); // listener notifications, then the debounced refresh
        return app("process.pw-play") && app("org.example.PulsePlayer") &&
               app("process.pw-record") && app("process.pw-play")->isPlaying() &&
               app("org.example.PulsePlayer")->isPlaying() &&
               app("process.pw-record")->isRecording();
    })) << engine.apps().size()
        << " apps";
    EXPECT_EQ(app("process.pw-play")->processes.at(0).pid, player.pid());
    EXPECT_FALSE(app("process.pw-record")->isPlaying());
    ASSERT_TRUE(engine.defaultOutput());
    EXPECT_EQ(engine.defaultOutput()->uid, "speakers");
    ASSERT_TRUE(engine.defaultInput());
    EXPECT_EQ(engine.defaultInput()->uid, "mic");
    EXPECT_FALSE(engine.softVolumeActive()) << "null sinks have a settable volume";

    recorder.stop();
    ASSERT_TRUE(eventually([&] {
        scheduler.advance(0.2);
        return app("process.pw-record") == nullptr;
    }));
}

TEST_F(EngineOnPipeWireTest, StatusCommandShowsTheSession) {
    BackgroundProcess player({"pw-play", "--target", "speakers", tone}, dir + "/play.log");
    nlohmann::json report;
    const std::string config = "XDG_CONFIG_HOME=" + dir + "/config";
    ASSERT_TRUE(eventually([&] {
        int status = -1;
        const auto out =
            test::runAndRead({"env", config, VOXLANE_PATH, "--status", "--json"}, 10, &status);
        if (status != 0) return false;
        report = nlohmann::json::parse(out, nullptr, false);
        if (report.is_discarded()) return false;
        for (const auto& app : report["apps"])
            if (app["id"] == "process.pw-play" && app["playing"] == true) return true;
        return false;
    }));
    EXPECT_EQ(report["server"].get<std::string>().rfind("PipeWire", 0), 0u);
    EXPECT_EQ(report["defaultOutput"], "speakers");
    EXPECT_EQ(report["defaultInput"], "mic");
    std::map<std::string, nlohmann::json> devices;
    for (const auto& device : report["devices"])
        devices[device["uid"]] = device;
    ASSERT_TRUE(devices.count("speakers") && devices.count("headphones") && devices.count("mic"));
    EXPECT_TRUE(devices["speakers"]["hasOutput"].get<bool>());
    EXPECT_FALSE(devices["speakers"]["hasInput"].get<bool>());
    EXPECT_TRUE(devices["mic"]["hasInput"].get<bool>());
    EXPECT_FALSE(devices["mic"]["hasOutput"].get<bool>());
    EXPECT_EQ(devices["mic"]["name"], "Microphone");
}

} // namespace
} // namespace voxlane
