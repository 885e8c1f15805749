// SPDX-License-Identifier: GPL-3.0-or-later
// `voxlane ctl` against the program running on the private PipeWire: the volume it sets is what
// a real player is heard at on the sink's monitor.
#include "support/BackgroundProcess.h"
#include "support/PrivateBus.h"
#include "support/TapFixture.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

namespace voxlane {
namespace {

using CtlOnPipeWire = test::TapFixture;

TEST_F(CtlOnPipeWire, VolumeOfARealPlayerIsHeardOnTheSinkMonitor) {
    if (!test::PrivateBus::available())
        GTEST_SKIP() << "dbus-daemon is needed (scripts/deps.sh installs it)";
    test::PrivateBus bus;
    std::string error;
    ASSERT_TRUE(bus.start(&error)) << error;
    // Settings of its own, with the first run behind it and audio access granted.
    const std::string config = dir + "/config";
    mkdir(config.c_str(), 0700);
    mkdir((config + "/voxlane").c_str(), 0700);
    std::ofstream(config + "/voxlane/defaults.json")
        << R"({"audioAccessGranted": {"boolean": true}, "onboardingCompleted": {"boolean": true}})";
    const std::vector<std::string> env{"env", "DBUS_SESSION_BUS_ADDRESS=" + bus.address(),
                                       "QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + config};
    const auto ctl = [&](std::vector<std::string> arguments, int* status) {
        arguments.insert(arguments.begin(), env.begin(), env.end());
        arguments.insert(arguments.begin() + env.size(), {VOXLANE_PATH, "ctl"});
        return test::runAndRead(arguments, 10, status);
    };
    const auto volumeOfPlayer = [&]() -> std::optional<double> {
        int status = -1;
        const auto apps = nlohmann::json::parse(ctl({"apps", "--json"}, &status), nullptr, false);
        for (const auto& app : apps.is_array() && status == 0 ? apps : nlohmann::json::array())
            if (app["id"] == "process.pw-play" && app["playing"] == true)
                return app["volume"].get<double>();
        return std::nullopt;
    };

    auto player = play(tone, "-ctl", "speakers");
    auto argv = env;
    argv.insert(argv.end(), {VOXLANE_PATH, "--login"});
    test::BackgroundProcess voxlane(argv, dir + "/voxlane.log");
    ASSERT_TRUE(voxlane.started());
    ASSERT_TRUE(waitUntil([&] { return volumeOfPlayer().has_value(); }, 20));
    const float before = recordPeak("speakers", "before");
    EXPECT_NEAR(before, 0.5f, 0.05f);

    int status = -1;
    ctl({"volume", "process.pw-play", "25"}, &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(volumeOfPlayer(), 25.0);
    // 25 % is a gain of 0.25² once the tap is up.
    float after = -1;
    ASSERT_TRUE(waitUntil(
        [&] {
            after = recordPeak("speakers", "after");
            return after >= 0 && after < 0.1f;
        },
        20))
        << "peak " << after;
    EXPECT_NEAR(after / before, 0.0625f, 0.005f);
    EXPECT_EQ(voxlane.stop(), 0);
}

} // namespace
} // namespace voxlane
