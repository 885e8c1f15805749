// SPDX-License-Identifier: GPL-3.0-or-later
// Figures of the taps on a real PipeWire at the session's quantum (1024 frames at 48 kHz):
// the latency a process tap adds and the CPU time a running tap costs. They take a while and
// only print figures, so they run when VOXLANE_MEASURE is set:
//   VOXLANE_MEASURE=1 ctest -R Measure --output-on-failure -V
#include "ClickProbe.h"
#include "engine/AppTap.h"
#include "support/TapFixture.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace voxlane {
namespace {

class TapMeasurementsTest : public test::TapFixture {
protected:
    void SetUp() override {
        if (!std::getenv("VOXLANE_MEASURE")) GTEST_SKIP() << "set VOXLANE_MEASURE to measure";
        TapFixture::SetUp();
    }

    std::vector<std::int64_t> latencies(test::ClickProbe& probe, double seconds) {
        probe.takeLatencies();
        const auto end =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(int(seconds * 1000));
        while (std::chrono::steady_clock::now() < end) {
            scheduler.runPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        auto values = probe.takeLatencies();
        std::sort(values.begin(), values.end());
        return values;
    }

    // CPU seconds (user + system) a process has used; `pid` 0 is this one.
    static double cpuSeconds(pid_t pid = 0) {
        std::ifstream file(pid ? "/proc/" + std::to_string(pid) + "/stat" : "/proc/self/stat");
        std::string text((std::istreambuf_iterator<char>(file)), {});
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14) utime = std::stoull(field);
            if (i == 15) stime = std::stoull(field);
        }
        return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
    }

    pid_t serverPid() {
        std::ifstream pids(sessionDir + "/pids");
        pid_t pid = 0;
        pids >> pid;
        return pid;
    }
};

TEST_F(TapMeasurementsTest, AddedLatencyOfAProcessTap) {
    test::ClickProbe probe("speakers", tag + "-click");
    ASSERT_TRUE(probe.connected());
    const auto direct = latencies(probe, 4.0);
    ASSERT_GE(direct.size(), 4u);
    const ObjectId own = server->processOf(getpid());
    ASSERT_NE(own, noObject);
    AppTap tap(*server, {own}, std::nullopt, "speakers", AppTap::Mode::process, 1.0f);
    latencies(probe, 1.0); // the move
    const auto tapped = latencies(probe, 4.0);
    ASSERT_GE(tapped.size(), 4u);
    const auto median = [](const std::vector<std::int64_t>& v) { return v[v.size() / 2]; };
    const double added = double(median(tapped) - median(direct));
    std::printf("[latency] direct %lld frames, through the tap %lld frames: added %.0f frames = "
                "%.2f ms (quantum 1024 = 21.33 ms; goal <= 22.83 ms)\n",
                (long long)median(direct), (long long)median(tapped), added, added / 48.0);
    RecordProperty("addedLatencyFrames", int(added));
    EXPECT_LE(added, 1024 + 72);
}

TEST_F(TapMeasurementsTest, CpuPerActiveTap) {
    constexpr int taps = 4;
    constexpr double seconds = 8.0;
    std::vector<std::unique_ptr<test::BackgroundProcess>> players;
    std::vector<ObjectId> processes;
    for (int i = 0; i < taps; ++i) {
        players.push_back(play(tone, "-" + std::to_string(i), "speakers"));
        processes.push_back(processOf(players.back()->pid()));
        ASSERT_NE(processes.back(), 0u);
    }
    const pid_t pipewirePid = serverPid();
    auto measure = [&] {
        const double self0 = cpuSeconds(), server0 = cpuSeconds(pipewirePid);
        const auto end =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(int(seconds * 1000));
        while (std::chrono::steady_clock::now() < end) {
            scheduler.runPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return std::pair{(cpuSeconds() - self0) / seconds,
                         (cpuSeconds(pipewirePid) - server0) / seconds};
    };
    const auto idle = measure();
    std::vector<std::unique_ptr<AppTap>> running;
    for (auto process : processes)
        running.push_back(std::make_unique<AppTap>(*server, std::vector<ObjectId>{process},
                                                   std::nullopt, "speakers", AppTap::Mode::process,
                                                   0.5f));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto busy = measure();
    const double ours = (busy.first - idle.first) / taps * 100;
    const double daemon = (busy.second - idle.second) / taps * 100;
    std::printf("[cpu] voxlane process: %.3f %% of a core without taps, %.3f %% with %d taps: "
                "%.3f %% per tap (goal <= 0.5 %%); pipewire daemon: %.3f %% -> %.3f %%: "
                "%.3f %% per tap\n",
                idle.first * 100, busy.first * 100, taps, ours, idle.second * 100,
                busy.second * 100, daemon);
    EXPECT_LT(ours, 2.0);
}

} // namespace
} // namespace voxlane
