// SPDX-License-Identifier: GPL-3.0-or-later
// The engine and `voxlane --status` on a real, private PipeWire: the apps that real clients
// (pw-play, pw-record) make appear grouped, with the session's devices and defaults.
#include "EngineWorld.h"
#include "support/TapFixture.h"

#include <nlohmann/json.hpp>

namespace voxlane {
namespace {

using test::BackgroundProcess;

using EngineOnPipeWireTest = test::TapFixture;

TEST_F(EngineOnPipeWireTest, EngineAndStatusGroupRealClientsIntoApps) {
    test::EngineWorld world(*server, scheduler, /*accessGranted=*/false);
    auto player = play(tone, "", "speakers");
    BackgroundProcess recorder({"pw-record", "--target", "mic", dir + "/rec.wav"},
                               dir + "/rec.log");
    world.workspace.names[player->pid()] = "pw-play";
    world.workspace.names[recorder.pid()] = "pw-record";
    const auto started = world.start();
    MixerEngine& engine = *started;
    auto app = [&](const std::string& id) -> const AppGroup* {
        for (const auto& group : engine.apps())
            if (group.id == id) return &group;
        return nullptr;
    };
    ASSERT_TRUE(waitUntil([&] {
        return app("process.pw-play") && app("process.pw-record") &&
               app("process.pw-play")->isPlaying() && app("process.pw-record")->isRecording();
    })) << engine.apps().size()
        << " apps";
    EXPECT_EQ(app("process.pw-play")->processes.at(0).pid, player->pid());
    EXPECT_FALSE(app("process.pw-record")->isPlaying());
    ASSERT_TRUE(engine.defaultOutput() && engine.defaultInput());
    EXPECT_EQ(engine.defaultOutput()->uid, "speakers");
    EXPECT_EQ(engine.defaultInput()->uid, "mic");
    EXPECT_FALSE(engine.softVolumeActive()) << "null sinks have a settable volume";

    // The status command, a program of its own, sees the same session.
    nlohmann::json report;
    const std::string config = "XDG_CONFIG_HOME=" + dir + "/config";
    ASSERT_TRUE(waitUntil([&] {
        int status = -1;
        const auto out =
            test::runAndRead({"env", config, VOXLANE_PATH, "--status", "--json"}, 10, &status);
        report = nlohmann::json::parse(out, nullptr, false);
        if (status != 0 || report.is_discarded()) return false;
        for (const auto& app : report["apps"])
            if (app["id"] == "process.pw-play" && app["playing"] == true) return true;
        return false;
    }));
    EXPECT_EQ(report["server"].get<std::string>().rfind("PipeWire", 0), 0u);
    EXPECT_EQ(report["defaultOutput"], "speakers");
    EXPECT_EQ(report["defaultInput"], "mic");
    EXPECT_EQ(report["devices"].size(), 3u);

    recorder.stop();
    ASSERT_TRUE(waitUntil([&] { return app("process.pw-record") == nullptr; }));
}

} // namespace
} // namespace voxlane
