// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Defaults.h"

#include "platform/Log.h"
#include "platform/ManualScheduler.h"
#include "support/TempDirectory.h"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace voxlane {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using test::TempDirectory;
using Names = std::vector<std::string>;

TEST(DefaultsTest, RefusesValuesTheFileCannotHoldAndKeepsTheOldOne) {
    Log::Capture log;
    auto defaults = Defaults::inMemory();
    defaults->setNumber("duckLevel", 0.5);
    defaults->setNumber("duckLevel", std::numeric_limits<double>::quiet_NaN());
    defaults->setNumber("duckLevel", std::numeric_limits<double>::infinity());
    EXPECT_EQ(defaults->number("duckLevel"), 0.5);
    defaults->setDictionary("levels", json{{"a", 1}});
    for (const json& bad : {json::array({1, 2}), json{{"bad", std::string("\xff\xfe")}},
                            json{{std::string("\xc3"), 1}}})
        defaults->setDictionary("levels", bad);
    EXPECT_FALSE(defaults->setValue("levels", json{{"deep", {1.0, NAN}}}));
    EXPECT_EQ(defaults->dictionary("levels"), (json{{"a", 1}}));
    EXPECT_EQ(log.entries("defaults").size(), 6u);
    for (const auto& entry : log.entries())
        EXPECT_EQ(entry.level, Log::Level::error);
}

// Values come back from the file as they were set, as plain nested JSON with the layout's number,
// and read back only through their own type (a value of another type replaces it).
TEST(DefaultsTest, ValuesSurviveReopeningTheFileAndReadBackOnlyThroughTheirType) {
    TempDirectory dir;
    const fs::path path = dir / "config/voxlane/defaults.json";
    {
        auto defaults = Defaults::openFile(path);
        EXPECT_FALSE(fs::exists(path)); // nothing written before the first change
        defaults->setBoolean("onboardingCompleted", true);
        defaults->setNumber("duckLevel", 0.1);
        defaults->setValue("deviceRules", json{{"outputs", json::array()}});
        defaults->setDictionary("softVolumeLevels", json{{"usb", 0.3}, {"hdmi", 1}});
        defaults->setBoolean("gone", true);
        defaults->remove("gone");
    }
    auto reopened = Defaults::openFile(path);
    EXPECT_EQ(std::tuple(reopened->boolean("onboardingCompleted"), reopened->number("duckLevel")),
              std::tuple(std::optional(true), std::optional(0.1)));
    EXPECT_EQ(*reopened->value("deviceRules"), (json{{"outputs", json::array()}}));
    EXPECT_EQ(reopened->dictionary("softVolumeLevels"), (json{{"usb", 0.3}, {"hdmi", 1}}));
    EXPECT_EQ(reopened->value("gone"), nullptr);
    EXPECT_EQ(reopened->keys(),
              (Names{"deviceRules", "duckLevel", "onboardingCompleted", "softVolumeLevels"}));
    EXPECT_FALSE(reopened->number("onboardingCompleted") || reopened->dictionary("duckLevel"));
    EXPECT_EQ(std::distance(fs::directory_iterator(path.parent_path()), {}), 1)
        << "no temporary files left behind";
    EXPECT_EQ(json::parse(dir.read("config/voxlane/defaults.json")),
              json::parse(R"({"fileFormat": 2,
        "onboardingCompleted": true, "duckLevel": 0.1, "deviceRules": {"outputs": []},
        "softVolumeLevels": {"usb": 0.3, "hdmi": 1}})"));
    reopened->setNumber("onboardingCompleted", 1);
    EXPECT_FALSE(reopened->boolean("onboardingCompleted"));
    EXPECT_EQ(reopened->number("onboardingCompleted"), 1.0);
}

TEST(DefaultsTest, FirstLayoutIsReadAndRewrittenInTheNewOne) {
    TempDirectory dir;
    dir.write("defaults.json", R"({
        "onboardingCompleted": {"boolean": true},
        "duckLevel": {"number": 0.2},
        "softVolumeLevels": {"dictionary": {"usb": 0.5}},
        "appSettings": {"data": "{\"firefox\":{\"volume\":0.5,\"muted\":true}}"},
        "deviceRules": {"base64": "eyJvdXRwdXRzIjpbXX0="},
        "notJson": {"data": "plain text"},
        "future": {"date": "2031-01-01"}
    })");
    json converted = json::parse(R"({"onboardingCompleted": true,
        "duckLevel": 0.2, "softVolumeLevels": {"usb": 0.5}, "deviceRules": {"outputs": []},
        "appSettings": {"firefox": {"volume": 0.5, "muted": true}}, "notJson": "plain text",
        "future": {"date": "2031-01-01"}})");
    ManualScheduler scheduler;
    auto defaults = Defaults::openFile(dir / "defaults.json", scheduler);
    for (const auto& [key, value] : converted.items())
        EXPECT_EQ(*defaults->value(key), value) << key;
    converted["fileFormat"] = 2;
    scheduler.advance(Defaults::writeDelay);
    defaults->flush();
    EXPECT_EQ(json::parse(dir.read("defaults.json")), converted);
    EXPECT_EQ(Defaults::fromText(dir.read("defaults.json"))->text(), defaults->text());
}

TEST(DefaultsTest, ValuesOfAnotherTypeReadAsAbsentAndAreKept) {
    TempDirectory dir;
    const char* text = R"({"fileFormat": 2, "duckingEnabled": "yes", "duckLevel": [0.5],
                           "softVolumeLevels": 3, "future": {"date": "2031-01-01"}})";
    dir.write("defaults.json", text);
    auto defaults = Defaults::openFile(dir / "defaults.json");
    EXPECT_FALSE(defaults->boolean("duckingEnabled") || defaults->number("duckLevel") ||
                 defaults->dictionary("softVolumeLevels"));
    defaults->setBoolean("onboardingCompleted", true);
    auto expected = json::parse(text);
    expected["onboardingCompleted"] = true;
    EXPECT_EQ(json::parse(dir.read("defaults.json")), expected);
}

TEST(DefaultsTest, UnreadableRecordsAreKeptOnceBesideTheOthers) {
    Log::Capture log;
    auto defaults = Defaults::inMemory();
    defaults->keepUnreadable("appSettings", json{{"firefox", {{"muted", "yes"}}}}, "muted");
    defaults->keepUnreadable("appSettings", json{{"firefox", {{"muted", "yes"}}}}, "muted");
    defaults->keepUnreadable("deviceRules", json{{"inputs", json::array({1})}}, "rule");
    EXPECT_EQ(*defaults->value(Defaults::unreadableKey),
              (json{{"appSettings", json::array({{{"firefox", {{"muted", "yes"}}}}})},
                    {"deviceRules", json::array({{{"inputs", json::array({1})}}})}}));
    EXPECT_EQ(log.entries("defaults").size(), 3u); // each skip is logged
    // A hand-made entry of another shape is kept inside.
    defaults->setValue(Defaults::unreadableKey, "note to self");
    defaults->keepUnreadable("appSettings", 5, "no object");
    EXPECT_EQ(
        *defaults->value(Defaults::unreadableKey),
        (json{{"unreadable", json::array({"note to self"})}, {"appSettings", json::array({5})}}));
}

// A file that does not parse, a FIFO, a link to a device and a huge file are moved aside (the
// link itself, not the device; neither waited on nor read into memory), logged, and a regular
// file takes their place at the next write.
TEST(DefaultsTest, UnreadableFilesAreMovedAsideAndTheStoreStartsEmpty) {
    // Cut off, no object, not UTF-8, nested too deep; then no regular or too large files.
    const std::vector<std::string> kinds{"{\"duckLevel\": {\"number\": 0.5}",
                                         "[1, 2, 3]",
                                         "{\"x\": \"\xff\"}",
                                         std::string(100000, '[') + std::string(100000, ']'),
                                         "fifo",
                                         "device",
                                         "huge"};
    for (const std::string& kind : kinds) {
        TempDirectory dir;
        const fs::path path = dir / "defaults.json";
        const bool text = kind != "fifo" && kind != "device" && kind != "huge";
        if (kind == "fifo") {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        } else if (kind == "device") {
            fs::create_symlink("/dev/zero", path);
        } else {
            dir.write("defaults.json", text ? kind : "{}");
            if (!text) fs::resize_file(path, Defaults::maxFileSize + 1);
        }
        Log::Capture log;
        auto defaults = Defaults::openFile(path);
        EXPECT_TRUE(defaults->keys().empty()) << kind;
        ASSERT_EQ(log.entries("defaults").size(), 1u) << kind;
        EXPECT_EQ(log.entries()[0].level, Log::Level::error) << kind;
        const auto files = dir.entries();
        ASSERT_EQ(files.size(), 1u) << kind;
        EXPECT_TRUE(files[0].starts_with("defaults.json.corrupt-")) << files[0];
        if (text) {
            EXPECT_EQ(dir.read(files[0]), kind);
        }
        defaults->setBoolean("duckingEnabled", true);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path))) << kind;
        EXPECT_EQ(Defaults::openFile(path)->boolean("duckingEnabled"), true) << kind;
        EXPECT_EQ(dir.entries().size(), 2u) << kind;
    }
    // Corrupt twice within the same second: the second copy gets a name of its own.
    TempDirectory dir;
    for (const char* contents : {"not json", "still not json"}) {
        dir.write("defaults.json", contents);
        Log::Capture log;
        (void)Defaults::openFile(dir / "defaults.json");
    }
    const auto copies = dir.entries();
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_NE(dir.read(copies[0]), dir.read(copies[1]));
}

// Opening removes what interrupted saves left (only ours: the file's name and six characters),
// and writes go through a symbolic link to the file it points at.
TEST(DefaultsTest, LeftoversAreRemovedAndALinkIsWrittenThrough) {
    TempDirectory dir;
    dir.write("voxlane.json", R"({"fileFormat": 2, "duckLevel": 0.5})");
    for (const char* name : {"voxlane.json.tmp-a1B2c3", "voxlane.json.tmp-Zz9xYw",
                             "voxlane.json.tmp-keep", "other.json.tmp-a1B2c3"})
        dir.write(name, "{half");
    const fs::path link = dir / "config/defaults.json";
    fs::create_directories(link.parent_path());
    fs::create_symlink("../voxlane.json", link);
    Log::Capture log;
    auto defaults = Defaults::openFile(link);
    const Names kept{"config", "other.json.tmp-a1B2c3", "voxlane.json", "voxlane.json.tmp-keep"};
    EXPECT_EQ(dir.entries(), kept);
    EXPECT_EQ(defaults->number("duckLevel"), 0.5);
    defaults->setNumber("duckLevel", 0.25);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(json::parse(dir.read("voxlane.json"))["duckLevel"], 0.25);
    EXPECT_EQ(dir.entries(), kept);
}

// A drag sends a change every few milliseconds; the file is written at most once per
// `writeDelay` and once after the last change, and what is pending is written at flush.
TEST(DefaultsTest, WritesAreCoalescedAndFlushed) {
    TempDirectory dir;
    ManualScheduler scheduler;
    auto defaults = Defaults::openFile(dir / "defaults.json", scheduler);
    const auto onDisk = [&] { return Defaults::readOnlyCopy(dir / "defaults.json"); };
    for (int step = 0; step <= 20; ++step) {
        defaults->setNumber("duckLevel", step / 20.0);
        scheduler.advance(0.05);
    }
    scheduler.advance(Defaults::writeDelay);
    defaults->flush(); // waits for the worker; nothing new to write
    const std::size_t afterDrag = defaults->saveCount();
    EXPECT_TRUE(afterDrag >= 2 && afterDrag <= 3) << afterDrag;
    EXPECT_EQ(onDisk()->number("duckLevel"), 1.0);
    defaults->setBoolean("duckingEnabled", false);
    EXPECT_FALSE(onDisk()->boolean("duckingEnabled"));
    defaults->flush(); // at quit
    EXPECT_EQ(onDisk()->boolean("duckingEnabled"), false);
    EXPECT_EQ(defaults->saveCount(), afterDrag + 1);
    // The same value again is no change; a store going away writes what is pending.
    defaults->setBoolean("duckingEnabled", false);
    scheduler.advance(1);
    EXPECT_EQ(defaults->saveCount(), afterDrag + 1);
    defaults->setNumber("duckLevel", 0.75);
    defaults.reset();
    EXPECT_EQ(onDisk()->number("duckLevel"), 0.75);
}

// On the worker thread, the next write fails half-way (files may not grow beyond 4 KiB for a
// moment): the old file stays, the failure reaches the observers on the main queue, the value
// holds for this run and the next successful write stores it. (A FIFO in the file's place fails
// the same way: MixerEngineTest.)
TEST(DefaultsTest, FailedWriteKeepsTheOldFileAndIsReportedOnTheMainQueue) {
    TempDirectory dir;
    ManualScheduler scheduler;
    auto defaults = Defaults::openFile(dir / "defaults.json", scheduler);
    const auto write = [&] {
        scheduler.advance(Defaults::writeDelay);
        defaults->flush();
    };
    defaults->setNumber("duckLevel", 0.5);
    write();
    const auto before = dir.read("defaults.json");
    Log::Capture log;
    std::vector<Defaults::SaveResult> results;
    std::vector<std::thread::id> threads;
    auto subscription = defaults->observeSaveResults([&](const Defaults::SaveResult& result) {
        threads.push_back(std::this_thread::get_id());
        results.push_back(result);
    });
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    defaults->setValue("appSettings", std::string(20000, 'x'));
    write();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    scheduler.runPending();
    EXPECT_EQ(dir.read("defaults.json"), before);
    EXPECT_EQ(dir.entries(), Names{"defaults.json"});
    ASSERT_EQ(log.entries("defaults").size(), 1u);
    ASSERT_EQ(results.size(), 1u);
    ASSERT_TRUE(results[0]);
    EXPECT_NE(results[0]->find("nicht gespeichert"), std::string::npos);
    EXPECT_EQ(*results[0], log.entries()[0].message);
    EXPECT_EQ(threads, std::vector{std::this_thread::get_id()}) << "told on the main queue";
    EXPECT_EQ(*defaults->value("appSettings"), std::string(20000, 'x'));
    defaults->setBoolean("duckingEnabled", true); // success after a failure is told once
    write();
    scheduler.runPending();
    EXPECT_EQ(*Defaults::openFile(dir / "defaults.json")->value("appSettings"),
              std::string(20000, 'x'));
    EXPECT_EQ(results, (std::vector<Defaults::SaveResult>{results[0], std::nullopt}));
}

TEST(DefaultsTest, DefaultPathFollowsXdgConfigHome) {
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    for (const char* name : {"XDG_CONFIG_HOME", "HOME"}) {
        const char* value = std::getenv(name);
        saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    ::setenv("HOME", "/home/anna", 1);
    ::setenv("XDG_CONFIG_HOME", "/srv/config", 1);
    EXPECT_EQ(Defaults::defaultPath(), "/srv/config/voxlane/defaults.json");
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1); // relative: ignored
    EXPECT_EQ(Defaults::defaultPath(), "/home/anna/.config/voxlane/defaults.json");
    for (const auto& [name, value] : saved)
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
}

} // namespace
} // namespace voxlane
