// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ChildProcess.h"
#include "support/TempDirectory.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

namespace voxlane {
namespace {

test::ChildProcess status(const test::TempDirectory& config, std::vector<std::string> args) {
    // A hang fails the test (status 124) instead of stalling the suite.
    std::vector<std::string> command{"env",        "XDG_CONFIG_HOME=" + config.path().string(),
                                     "timeout",    "30",
                                     VOXLANE_PATH, "--status"};
    command.insert(command.end(), args.begin(), args.end());
    return test::ChildProcess::run(command[0], {command.begin() + 1, command.end()});
}

TEST(StatusCommand, ShowsTheSimulatedDesktopAsJsonOrTextAndRefusesBadOptions) {
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
    std::map<std::string, nlohmann::json> apps;
    for (const auto& app : report["apps"])
        apps[app["id"]] = app;
    EXPECT_FALSE(apps.count("process.voxlane"));
    EXPECT_TRUE(apps["com.spotify.Client"]["playing"].get<bool>());
    EXPECT_EQ(apps["com.spotify.Client"]["settings"]["volume"], 0.5);
    const auto bad = status(config, {"--loud"});
    EXPECT_EQ(std::pair(bad.exitStatus, bad.out), std::pair(2, std::string()));
    EXPECT_NE(bad.err.find("unknown option --loud"), std::string::npos);
}

// The status command only looks: a settings file it cannot read is neither waited on, nor read
// without bound, nor moved aside; a readable one, in the first layout or not, is not rewritten.
TEST(StatusCommand, ReadsTheSettingsStrictlyReadOnly) {
    for (const std::string kind : {"fifo", "zero", "corrupt", "first layout"}) {
        test::TempDirectory config;
        const auto path = config.path() / "voxlane/defaults.json";
        std::filesystem::create_directories(path.parent_path());
        if (kind == "fifo") {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        } else if (kind == "zero") {
            std::filesystem::create_symlink("/dev/zero", path);
        } else if (kind == "corrupt") {
            config.write("voxlane/defaults.json", "{not json");
        } else {
            config.write("voxlane/defaults.json", R"({"duckLevel": {"number": 0.5}})");
        }
        config.write("voxlane/defaults.json.tmp-a1B2c3", "left by a crash");
        const auto run = status(config, {"--demo"});
        EXPECT_EQ(run.exitStatus, 0) << kind << ": " << run.err;
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(path.parent_path()))
            files.push_back(entry.path().filename().string());
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, (std::vector<std::string>{"defaults.json", "defaults.json.tmp-a1B2c3"}))
            << kind;
        if (kind == "first layout") {
            EXPECT_EQ(config.read("voxlane/defaults.json"), R"({"duckLevel": {"number": 0.5}})");
        }
    }
}

} // namespace
} // namespace voxlane
