// SPDX-License-Identifier: GPL-3.0-or-later
// The interface speaks of this platform only: no other system's key glyphs, brand names or
// settings panes in any string of the program, its data, its translations or its manual page.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(PlatformWords, NoOtherPlatformsGlyphsNamesOrPanesAnywhereInTheInterface) {
    const fs::path root = VOXLANE_SOURCE_DIR;
    std::vector<fs::path> files;
    for (const char* dir : {"src", "data", "translations"})
        for (const auto& entry : fs::recursive_directory_iterator(root / dir))
            if (entry.is_regular_file()) files.push_back(entry.path());
    files.push_back(root / "docs" / "voxlane.1");
    ASSERT_GT(files.size(), 100u);
    const std::vector<std::string> foreign{
        // Control, Option, Command, Shift and Escape as glyphs, written out or escaped.
        "\u2303", "\u2325", "\u2318", "\u21e7", "\u238b", "\\u2303", "\\u2325", "\\u2318",
        "\\u21e7", "\\u21E7",
        // Brand names and the other system's settings.
        "AirPods", "macOS", "iPhone", "Screen & System Audio Recording", "Accessibility access",
        "x-apple", "settings://"};
    for (const fs::path& file : files) {
        const std::string text = read(file);
        for (const std::string& word : foreign)
            EXPECT_EQ(text.find(word), std::string::npos)
                << fs::relative(file, root).string() << " contains " << word;
    }
}

} // namespace
