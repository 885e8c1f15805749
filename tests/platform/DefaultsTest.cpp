#include "platform/Defaults.h"

#include "platform/Log.h"
#include "support/TempDirectory.h"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <sys/resource.h>

namespace voxlane {
namespace {

using json = nlohmann::json;
using test::TempDirectory;

std::string allBytes() {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    return bytes;
}

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& directory) {
    std::vector<std::filesystem::path> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(DefaultsTest, EachValueReadsBackOnlyThroughItsOwnType) {
    auto defaults = Defaults::inMemory();
    defaults->setBoolean("duckingEnabled", false);
    defaults->setNumber("duckLevel", 0.25);
    defaults->setData("appSettings", R"({"firefox":{"volume":0.5}})");
    defaults->setDictionary("softVolumeLevels", json{{"speakers", 0.75}});

    EXPECT_EQ(defaults->boolean("duckingEnabled"), false);
    EXPECT_EQ(defaults->number("duckLevel"), 0.25);
    EXPECT_EQ(defaults->data("appSettings"), R"({"firefox":{"volume":0.5}})");
    EXPECT_EQ(defaults->dictionary("softVolumeLevels"), (json{{"speakers", 0.75}}));

    EXPECT_FALSE(defaults->number("duckingEnabled"));
    EXPECT_FALSE(defaults->boolean("duckLevel"));
    EXPECT_FALSE(defaults->dictionary("appSettings"));
    EXPECT_FALSE(defaults->data("softVolumeLevels"));
    EXPECT_FALSE(defaults->boolean("never set"));

    // A new value of another type replaces the old one.
    defaults->setNumber("duckingEnabled", 1);
    EXPECT_FALSE(defaults->boolean("duckingEnabled"));
    EXPECT_EQ(defaults->number("duckingEnabled"), 1.0);

    defaults->remove("duckLevel");
    defaults->remove("never set");
    EXPECT_FALSE(defaults->number("duckLevel"));
    EXPECT_EQ(defaults->keys(),
              (std::vector<std::string>{"appSettings", "duckingEnabled", "softVolumeLevels"}));
}

TEST(DefaultsTest, RefusesValuesTheFileCannotHoldAndKeepsTheOldOne) {
    Log::Capture log;
    auto defaults = Defaults::inMemory();
    defaults->setNumber("duckLevel", 0.5);
    defaults->setNumber("duckLevel", std::numeric_limits<double>::quiet_NaN());
    defaults->setNumber("duckLevel", std::numeric_limits<double>::infinity());
    EXPECT_EQ(defaults->number("duckLevel"), 0.5);

    defaults->setDictionary("levels", json{{"a", 1}});
    defaults->setDictionary("levels", json::array({1, 2}));
    defaults->setDictionary("levels", json{{"bad", std::string("\xff\xfe")}});
    EXPECT_EQ(defaults->dictionary("levels"), (json{{"a", 1}}));

    EXPECT_EQ(log.entries("defaults").size(), 4u);
    for (const auto& entry : log.entries())
        EXPECT_EQ(entry.level, Log::Level::error);
}

TEST(DefaultsTest, ValuesSurviveReopeningTheFile) {
    TempDirectory dir;
    const std::filesystem::path path = dir / "config/voxlane/defaults.json";
    {
        auto defaults = Defaults::openFile(path);
        EXPECT_FALSE(std::filesystem::exists(path)); // nothing written before the first change
        defaults->setBoolean("onboardingCompleted", true);
        defaults->setNumber("duckLevel", 0.1);
        defaults->setData("deviceRules", R"({"outputs":[]})");
        defaults->setDictionary("softVolumeLevels", json{{"usb", 0.3}, {"hdmi", 1}});
        defaults->setBoolean("gone", true);
        defaults->remove("gone");
    }
    auto reopened = Defaults::openFile(path);
    EXPECT_EQ(reopened->boolean("onboardingCompleted"), true);
    EXPECT_EQ(reopened->number("duckLevel"), 0.1);
    EXPECT_EQ(reopened->data("deviceRules"), R"({"outputs":[]})");
    EXPECT_EQ(reopened->dictionary("softVolumeLevels"), (json{{"usb", 0.3}, {"hdmi", 1}}));
    EXPECT_FALSE(reopened->boolean("gone"));
    // Only the file itself: no temporary files left behind.
    EXPECT_EQ(filesIn(path.parent_path()), std::vector<std::filesystem::path>{"defaults.json"});
}

TEST(DefaultsTest, DataKeepsArbitraryBytesAndStoresTextReadably) {
    TempDirectory dir;
    const std::filesystem::path path = dir / "defaults.json";
    const std::string binary = allBytes() + "\xc0\xaf" + "\xed\xa0\x80"; // overlong, surrogate
    const char rawText[] = "Kopfhörer → 🎧 \0 end";
    const std::string text(rawText, sizeof rawText - 1); // with the NUL
    {
        auto defaults = Defaults::openFile(path);
        defaults->setData("binary", binary);
        defaults->setData("text", text);
        defaults->setData("empty", "");
    }
    const auto file = json::parse(dir.read("defaults.json"));
    EXPECT_TRUE(file["binary"].contains("base64"));
    EXPECT_EQ(file["text"], (json{{"data", text}}));

    auto reopened = Defaults::openFile(path);
    EXPECT_EQ(reopened->data("binary"), binary);
    EXPECT_EQ(reopened->data("text"), text);
    EXPECT_EQ(reopened->data("empty"), "");
    for (std::size_t length = 0; length < 7; ++length) {
        reopened->setData("short", binary.substr(250, length));
        EXPECT_EQ(Defaults::fromText(reopened->text())->data("short"), binary.substr(250, length))
            << length;
    }
}

TEST(DefaultsTest, MalformedStoredValuesReadAsAbsentAndUnknownEntriesAreKept) {
    const std::string stored = R"({
        "badBase64": {"base64": "AB=C"},
        "shortBase64": {"base64": "QUJ"},
        "wrongInner": {"boolean": "yes"},
        "twoTags": {"boolean": true, "number": 1},
        "bare": 3,
        "future": {"date": "2031-01-01"},
        "ok": {"base64": "QUI="}
    })";
    TempDirectory dir;
    dir.write("defaults.json", stored);
    auto defaults = Defaults::openFile(dir / "defaults.json");
    EXPECT_FALSE(defaults->data("badBase64"));
    EXPECT_FALSE(defaults->data("shortBase64"));
    EXPECT_FALSE(defaults->boolean("wrongInner"));
    EXPECT_FALSE(defaults->boolean("twoTags"));
    EXPECT_FALSE(defaults->number("bare"));
    EXPECT_EQ(defaults->data("ok"), "AB");

    defaults->setBoolean("duckingEnabled", true);
    const auto rewritten = json::parse(dir.read("defaults.json"));
    EXPECT_EQ(rewritten["future"], (json{{"date", "2031-01-01"}}));
    EXPECT_EQ(rewritten["bare"], 3);
    EXPECT_EQ(rewritten.size(), 8u);
}

TEST(DefaultsTest, CorruptFileIsMovedAsideAndTheStoreStartsEmpty) {
    const std::vector<std::string> corrupt = {
        "{\"duckLevel\": {\"number\": 0.5}", // cut off
        "",
        "[1, 2, 3]",
        "{\"x\": \"\xff\"}", // not UTF-8
        std::string(100000, '[') + std::string(100000, ']'),
    };
    for (const auto& contents : corrupt) {
        TempDirectory dir;
        dir.write("defaults.json", contents);
        Log::Capture log;
        auto defaults = Defaults::openFile(dir / "defaults.json");
        EXPECT_TRUE(defaults->keys().empty());

        const auto files = filesIn(dir.path());
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].string().rfind("defaults.json.corrupt-", 0), 0u) << files[0];
        EXPECT_EQ(dir.read(files[0].string()), contents);
        ASSERT_EQ(log.entries("defaults").size(), 1u);
        EXPECT_EQ(log.entries()[0].level, Log::Level::error);

        defaults->setBoolean("duckingEnabled", true);
        EXPECT_EQ(Defaults::openFile(dir / "defaults.json")->boolean("duckingEnabled"), true);
        EXPECT_EQ(filesIn(dir.path()).size(), 2u);
    }
}

TEST(DefaultsTest, SecondCorruptFileInTheSameSecondGetsItsOwnName) {
    TempDirectory dir;
    dir.write("defaults.json", "not json");
    (void)Defaults::openFile(dir / "defaults.json");
    dir.write("defaults.json", "still not json");
    (void)Defaults::openFile(dir / "defaults.json");
    const auto files = filesIn(dir.path());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_NE(dir.read(files[0].string()), dir.read(files[1].string()));
}

TEST(DefaultsTest, FailedWriteKeepsTheOldFileAndIsLogged) {
    TempDirectory dir;
    const std::filesystem::path path = dir / "defaults.json";
    auto defaults = Defaults::openFile(path);
    defaults->setNumber("duckLevel", 0.5);
    const auto before = dir.read("defaults.json");

    // Files may not grow beyond 4 KiB for a moment: the next write fails half-way.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    Log::Capture log;
    defaults->setData("appSettings", std::string(20000, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(dir.read("defaults.json"), before);
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::filesystem::path>{"defaults.json"});
    ASSERT_EQ(log.entries("defaults").size(), 1u);
    EXPECT_NE(log.entries()[0].message.find("nicht gespeichert"), std::string::npos);
    // The value still holds for this run, and the next successful write stores it.
    EXPECT_EQ(defaults->data("appSettings"), std::string(20000, 'x'));
    defaults->setBoolean("duckingEnabled", true);
    EXPECT_EQ(Defaults::openFile(path)->data("appSettings"), std::string(20000, 'x'));
}

TEST(DefaultsTest, DefaultPathFollowsXdgConfigHome) {
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";

    ::setenv("HOME", "/home/anna", 1);
    ::setenv("XDG_CONFIG_HOME", "/srv/config", 1);
    EXPECT_EQ(Defaults::defaultPath(), "/srv/config/voxlane/defaults.json");
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1); // relative: ignored
    EXPECT_EQ(Defaults::defaultPath(), "/home/anna/.config/voxlane/defaults.json");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(Defaults::defaultPath(), "/home/anna/.config/voxlane/defaults.json");

    oldXdg ? ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    oldHome ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}

} // namespace
} // namespace voxlane
