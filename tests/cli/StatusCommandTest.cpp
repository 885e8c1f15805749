#include "support/ChildProcess.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace voxlane {
namespace {

// `voxlane --status` with its configuration in a scratch directory.
test::ChildProcess status(const test::TempDirectory& config, std::vector<std::string> args) {
    std::vector<std::string> command{"env", "XDG_CONFIG_HOME=" + config.path().string(),
                                     VOXLANE_PATH, "--status"};
    command.insert(command.end(), args.begin(), args.end());
    return test::ChildProcess::run(command[0], {command.begin() + 1, command.end()});
}

TEST(StatusCommand, ShowsTheSimulatedDesktopAsJson) {
    test::TempDirectory config;
    config.write("voxlane/defaults.json",
                 R"({"appSettings": {"data": "{\"com.spotify.Client\": {\"volume\": 0.5,)"
                 R"( \"muted\": false, \"eq\": {\"preset\": \"off\", \"gains\": [0,0,0,0,0]}}}"},)"
                 R"( "audioAccessGranted": {"boolean": true}})");
    const auto run = status(config, {"--json", "--demo"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const auto report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report["server"], "simulated (demo)");
    EXPECT_EQ(report["audioAccess"], "granted");
    EXPECT_EQ(report["defaultOutput"], "demo.speakers");
    EXPECT_GE(report["devices"].size(), 3u);
    bool sawSpotify = false;
    for (const auto& app : report["apps"]) {
        EXPECT_NE(app["id"], "process.voxlane");
        if (app["id"] == "com.spotify.Client") {
            sawSpotify = true;
            EXPECT_TRUE(app["playing"].get<bool>());
            EXPECT_EQ(app["settings"]["volume"], 0.5);
        }
    }
    EXPECT_TRUE(sawSpotify);
    // Looking changes nothing: the stored file is as it was.
    EXPECT_NE(config.read("voxlane/defaults.json").find("audioAccessGranted"), std::string::npos);
}

TEST(StatusCommand, TextAndBadOptions) {
    test::TempDirectory config;
    const auto text = status(config, {"--demo"});
    ASSERT_EQ(text.exitStatus, 0) << text.err;
    EXPECT_NE(text.out.find("Audio server: simulated (demo)"), std::string::npos);
    EXPECT_NE(text.out.find("Spotify  id=com.spotify.Client  playing"), std::string::npos);
    EXPECT_NE(text.out.find("[default output]"), std::string::npos);

    const auto bad = status(config, {"--loud"});
    EXPECT_EQ(bad.exitStatus, 2);
    EXPECT_TRUE(bad.out.empty());
    EXPECT_NE(bad.err.find("unknown option --loud"), std::string::npos);
}

} // namespace
} // namespace voxlane
