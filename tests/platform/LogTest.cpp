// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Log.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace voxlane {
namespace {

TEST(LogTest, EntriesFromSeveralThreadsAreAllKeptWhole) {
    Log::Capture capture;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([t] {
            for (int i = 0; i < 250; ++i)
                Log::info("permission", "Pegel: " + std::to_string(t * 1000 + i));
        });
    }
    for (auto& worker : workers)
        worker.join();
    const auto entries = capture.entries();
    ASSERT_EQ(entries.size(), 1000u);
    std::vector<bool> seen(4000, false);
    for (const auto& entry : entries) {
        const auto value = std::stoi(entry.message.substr(entry.message.find(": ") + 2));
        EXPECT_FALSE(seen[value]) << value;
        seen[value] = true;
    }
}

// Without an override: the journal only for a detached stderr with a journal present; the
// override wins either way, an unknown value is ignored.
TEST(LogTest, SinkFollowsTheOverrideThenTheTerminalAndTheJournalSocket) {
    using enum Log::Sink;
    EXPECT_EQ(
        (std::vector{Log::chooseSink(nullptr, false, true), Log::chooseSink(nullptr, true, true),
                     Log::chooseSink(nullptr, false, false), Log::chooseSink("stderr", false, true),
                     Log::chooseSink("journal", true, false),
                     Log::chooseSink("syslog", false, true)}),
        (std::vector{journal, standardError, standardError, standardError, journal, journal}));
    EXPECT_TRUE(Log::debugEnabled("TRUE") && !Log::debugEnabled("0"));
}

} // namespace
} // namespace voxlane
