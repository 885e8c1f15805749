// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Autostart.h"
#include "app/SingleInstance.h"
#include "app/Updater.h"
#include "support/TempDirectory.h"

#include <QFile>
#include <QSignalSpy>
#include <fstream>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

// A socket left by a dead instance is taken over; a second launch then asks the first to reopen.
TEST(SingleInstance, TakesOverAStaleSocketAndASecondLaunchAsksTheFirstToReopen) {
    test::TempDirectory dir;
    const QString path = QString::fromStdString((dir.path() / "instance").string());
    {
        QFile stale(path);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly)); // nobody listens behind it
    }
    SingleInstance first(path);
    ASSERT_TRUE(first.claim());
    QSignalSpy reopen(&first, &SingleInstance::reopenRequested);
    SingleInstance second(path);
    EXPECT_FALSE(second.claim());
    ASSERT_TRUE(reopen.wait(2000));
    EXPECT_EQ(reopen.count(), 1);
}

// The entry starts the program at login with its path quoted as desktop entries want it; an
// entry the user hid counts as off.
TEST(Autostart, WritesAQuotedEntryThatStartsAtLoginHonoursHidingAndRemovesIt) {
    test::TempDirectory dir;
    Autostart autostart(dir.path() / "autostart" / "io.github.voxlane.Voxlane.desktop");
    EXPECT_FALSE(autostart.isEnabled());
    ASSERT_TRUE(autostart.enable("/home/a b/$x\\y%/voxlane"));
    EXPECT_TRUE(autostart.isEnabled());
    const std::string text = dir.read("autostart/io.github.voxlane.Voxlane.desktop");
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u) << text;
    EXPECT_NE(text.find("\nExec=\"/home/a b/\\\\$x\\\\\\\\y%%/voxlane\" --login\n"),
              std::string::npos)
        << text;
    EXPECT_TRUE(autostart.disable());
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_TRUE(autostart.disable()); // nothing left to remove
    std::ofstream(autostart.entryPath()) << "[Desktop Entry]\nExec=voxlane --login\nHidden=true\n";
    EXPECT_FALSE(autostart.isEnabled());
}

TEST(Updater, SaysWhereUpdatesComeFrom) {
    EXPECT_EQ(Updater::sourceOf("/usr/bin/voxlane"), Updater::Source::package);
    EXPECT_EQ(Updater::sourceOf("/home/me/voxlane/build/voxlane"), Updater::Source::source);
}

} // namespace
} // namespace voxlane
