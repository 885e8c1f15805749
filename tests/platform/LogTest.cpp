// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Log.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace voxlane {
namespace {

using Level = Log::Level;

TEST(LogTest, CapturesCollectEveryLevelInOrderWhileTheyLive) {
    Log::configure(Log::Sink::standardError, false);
    Log::Capture outer;
    {
        Log::Capture inner;
        Log::error("tap", "a");
        Log::info("engine", "b");
        Log::notice("mic", "c");
        Log::debug("tap", "d"); // captured with debug output off
        EXPECT_EQ(inner.entries(), (std::vector<Log::Entry>{{"tap", Level::error, "a"},
                                                            {"engine", Level::info, "b"},
                                                            {"mic", Level::notice, "c"},
                                                            {"tap", Level::debug, "d"}}));
        EXPECT_EQ(inner.entries("tap").size(), 2u);
        EXPECT_TRUE(inner.contains(Level::info, "engine", "b"));
        EXPECT_FALSE(inner.contains(Level::error, "engine", "b"));
        inner.clear();
        EXPECT_TRUE(inner.entries().empty());
    }
    Log::info("engine", "e");
    ASSERT_EQ(outer.entries().size(), 5u);
    EXPECT_EQ(outer.entries()[4].message, "e");
}

TEST(LogTest, EntriesFromSeveralThreadsAreAllKeptWhole) {
    Log::Capture capture;
    constexpr int threads = 4;
    constexpr int perThread = 250;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t] {
            for (int i = 0; i < perThread; ++i) {
                Log::info("permission", "Prüfton-Pegel: " + std::to_string(t * 1000 + i));
            }
        });
    }
    for (auto& worker : workers)
        worker.join();

    const auto entries = capture.entries();
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(threads * perThread));
    std::vector<bool> seen(threads * 1000, false);
    for (const auto& entry : entries) {
        const auto value = std::stoi(entry.message.substr(entry.message.find(": ") + 2));
        EXPECT_FALSE(seen[value]) << value;
        seen[value] = true;
    }
}

TEST(LogTest, StandardErrorSinkWritesOneLinePerEntryAndDropsDebugUnlessEnabled) {
    Log::configure(Log::Sink::standardError, false);
    testing::internal::CaptureStderr();
    Log::error("tap", "Globaler Tap: kaputt");
    Log::debug("tap", "nicht sichtbar");
    std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(written, "io.github.voxlane.Voxlane [tap] error: Globaler Tap: kaputt\n");

    Log::configure(Log::Sink::standardError, true);
    testing::internal::CaptureStderr();
    Log::debug("tap", "sichtbar");
    written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(written, "io.github.voxlane.Voxlane [tap] debug: sichtbar\n");
    Log::configure(Log::Sink::standardError, false);
}

TEST(LogTest, AnEntryTheJournalRefusesGoesToStandardError) {
    if (std::filesystem::exists("/run/systemd/journal/socket")) {
        GTEST_SKIP() << "a journal is running here; the entry would reach it";
    }
    Log::configure(Log::Sink::journal, false);
    testing::internal::CaptureStderr();
    Log::info("engine", "Ausgabe → Kopfhörer (Regel)");
    const auto written = testing::internal::GetCapturedStderr();
    Log::configure(Log::Sink::standardError, false);
    EXPECT_EQ(written, "io.github.voxlane.Voxlane [engine] info: Ausgabe → Kopfhörer (Regel)\n");
}

TEST(LogTest, SinkFollowsTheOverrideThenTheTerminalAndTheJournalSocket) {
    using Sink = Log::Sink;
    // Without an override: the journal only for a detached stderr with a journal present.
    EXPECT_EQ(Log::chooseSink(nullptr, false, true), Sink::journal);
    EXPECT_EQ(Log::chooseSink(nullptr, true, true), Sink::standardError);
    EXPECT_EQ(Log::chooseSink(nullptr, false, false), Sink::standardError);
    // The override wins either way; an unknown value is ignored.
    EXPECT_EQ(Log::chooseSink("stderr", false, true), Sink::standardError);
    EXPECT_EQ(Log::chooseSink("journal", true, false), Sink::journal);
    EXPECT_EQ(Log::chooseSink("syslog", false, true), Sink::journal);
    EXPECT_EQ(Log::chooseSink("", true, true), Sink::standardError);

    EXPECT_TRUE(Log::debugEnabled("1"));
    EXPECT_TRUE(Log::debugEnabled("TRUE"));
    EXPECT_FALSE(Log::debugEnabled("0"));
    EXPECT_FALSE(Log::debugEnabled(""));
    EXPECT_FALSE(Log::debugEnabled(nullptr));
}

} // namespace
} // namespace voxlane
