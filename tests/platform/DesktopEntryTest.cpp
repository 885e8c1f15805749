// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DesktopEntry.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using Arguments = std::vector<std::string>;

DesktopEntry withExec(std::string exec) {
    DesktopEntry entry;
    entry.exec = std::move(exec);
    return entry;
}

TEST(DesktopEntryTest, ReadsTheDesktopEntryGroupOnly) {
    const auto entry = DesktopEntry::parse(R"(# comment
[Desktop Entry]
Type=Application
Name=Firefox
Name[de]=Feuerfuchs
Name=Second Name
Icon = firefox
Exec=firefox %u
StartupWMClass=firefox
[Desktop Action new-window]
Exec=firefox --new-window %u
NoDisplay=true
)");
    ASSERT_TRUE(entry);
    EXPECT_EQ(std::tuple(entry->type, entry->name, entry->icon, entry->exec, entry->startupWMClass),
              std::tuple("Application", "Firefox", "firefox", "firefox %u", "firefox"));
    EXPECT_TRUE(!entry->noDisplay && entry->isVisible() && entry->isApplication());

    const auto group =
        DesktopEntry::readGroup("[Desktop Entry]\r\nComment=A\\sweb\\tb\\\\\r\n", "Desktop Entry");
    ASSERT_TRUE(group);
    EXPECT_EQ(group->at("Comment"), "A web\tb\\");

    EXPECT_FALSE(DesktopEntry::parse("[Other]\nName=x\n"));
    const auto link = DesktopEntry::parse("[Desktop Entry]\nType=Link\nHidden=true\n");
    ASSERT_TRUE(link);
    EXPECT_FALSE(link->isApplication());
    EXPECT_FALSE(link->isVisible());
}

TEST(DesktopEntryTest, SplitsExecByItsQuotingAndDropsFieldCodes) {
    EXPECT_EQ(withExec("firefox %u").execArguments(), (Arguments{"firefox"}));
    EXPECT_EQ(withExec(R"("/opt/My App/run" --name "a \"b\" \\c" 100%% %F)").execArguments(),
              (Arguments{"/opt/My App/run", "--name", R"(a "b" \c)", "100%"}));
    EXPECT_EQ(withExec(R"(  app   "")").execArguments(), (Arguments{"app", ""}));
    EXPECT_TRUE(withExec("").execArguments().empty());
}

TEST(DesktopEntryTest, ProgramLooksThroughEnvInterpretersAndShells) {
    EXPECT_EQ(withExec("env BAMF_DESKTOP_FILE_HINT=/x.desktop /snap/bin/firefox %u").program(),
              "/snap/bin/firefox");
    EXPECT_EQ(withExec("/usr/bin/python3 -O /usr/bin/quodlibet %F").program(),
              "/usr/bin/quodlibet");
    EXPECT_EQ(withExec(R"(sh -c "LANG=C exec spotify --uri=%u")").program(), "spotify");
    EXPECT_EQ(withExec("python3").program(), "python3"); // an interpreter on its own
}

} // namespace
} // namespace voxlane
