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

TEST(LogTest, CaptureCollectsEveryLevelInOrderIncludingDebug) {
    Log::configure(Log::Sink::standardError, false);
    Log::Capture capture;
    Log::error("tap", "Tap für firefox: Tap erstellen fehlgeschlagen");
    Log::info("engine", "Call erkannt: us.zoom.Zoom");
    Log::notice("mic", "Mikrofone waren beim letzten Beenden noch stumm – stelle 2 Gerät(e) "
                       "wieder her");
    Log::debug("tap", "Tap läuft: 3 Prozesse → speakers");

    const std::vector<Log::Entry> expected = {
        {"tap", Level::error, "Tap für firefox: Tap erstellen fehlgeschlagen"},
        {"engine", Level::info, "Call erkannt: us.zoom.Zoom"},
        {"mic", Level::notice,
         "Mikrofone waren beim letzten Beenden noch stumm – stelle 2 Gerät(e) wieder her"},
        {"tap", Level::debug, "Tap läuft: 3 Prozesse → speakers"},
    };
    EXPECT_EQ(capture.entries(), expected);
    EXPECT_EQ(capture.entries("tap").size(), 2u);
    EXPECT_TRUE(capture.contains(Level::info, "engine", "Call erkannt: us.zoom.Zoom"));
    EXPECT_FALSE(capture.contains(Level::error, "engine", "Call erkannt: us.zoom.Zoom"));

    capture.clear();
    EXPECT_TRUE(capture.entries().empty());
}

TEST(LogTest, NestedCapturesBothReceiveAndAnEndedCaptureStopsCollecting) {
    Log::Capture outer;
    {
        Log::Capture inner;
        Log::info("engine", "eins");
        EXPECT_EQ(inner.entries().size(), 1u);
    }
    Log::info("engine", "zwei");
    ASSERT_EQ(outer.entries().size(), 2u);
    EXPECT_EQ(outer.entries()[1].message, "zwei");
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
