// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Autostart.h"
#include "app/SingleInstance.h"
#include "app/StatusIcons.h"
#include "app/Updater.h"
#include "support/TempDirectory.h"
#include "ui/Symbols.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

TEST(SingleInstance, ASecondLaunchAsksTheFirstToReopen) {
    test::TempDirectory dir;
    const QString path = QString::fromStdString((dir.path() / "instance").string());
    SingleInstance first(path);
    ASSERT_TRUE(first.claim());
    QSignalSpy reopen(&first, &SingleInstance::reopenRequested);
    SingleInstance second(path);
    EXPECT_FALSE(second.claim());
    ASSERT_TRUE(reopen.wait(2000));
    EXPECT_EQ(reopen.count(), 1);
}

TEST(SingleInstance, TakesOverASocketLeftByADeadInstance) {
    test::TempDirectory dir;
    const QString path = QString::fromStdString((dir.path() / "instance").string());
    {
        QFile stale(path);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly)); // nobody listens behind it
    }
    SingleInstance instance(path);
    EXPECT_TRUE(instance.claim());
    SingleInstance later(path);
    EXPECT_FALSE(later.claim());
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
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    EXPECT_TRUE(autostart.disable());
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_TRUE(autostart.disable()); // nothing left to remove
    std::ofstream(autostart.entryPath()) << "[Desktop Entry]\nExec=voxlane --login\nHidden=true\n";
    EXPECT_FALSE(autostart.isEnabled());
}

TEST(StatusIcons, TrayColourComesFromThePanelNotTheApplication) {
    const QColor light = StatusIcons::trayColor(true, {"kde"});
    const QColor dark = StatusIcons::trayColor(false, {"kde"});
    EXPECT_GT(light.lightness(), 200);
    EXPECT_LT(dark.lightness(), 60);
    EXPECT_EQ(StatusIcons::trayColor(false, {"xfce"}), dark);
    // GNOME's top bar (and Ubuntu's, Unity's, Pantheon's) is dark in a light session too.
    for (const char* desktop : {"gnome", "unity", "pantheon"})
        EXPECT_EQ(StatusIcons::trayColor(false, {"ubuntu", desktop}), light) << desktop;
}

TEST(Symbols, WithoutTheThemesIconOurOwnDrawingIsUsed) {
    const QIcon icon = Symbols::icon("audio-volume-medium", Qt::white, 16, true);
    ASSERT_FALSE(icon.isNull());
    const QImage drawn = icon.pixmap(16, 16).toImage();
    int opaque = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            opaque += qAlpha(drawn.pixel(x, y)) > 128;
    EXPECT_GT(opaque, 10);
}

TEST(Updater, SaysWhereUpdatesComeFrom) {
    EXPECT_EQ(Updater::sourceOf("/usr/bin/voxlane"), Updater::Source::package);
    EXPECT_EQ(Updater::sourceOf("/home/me/voxlane/build/voxlane"), Updater::Source::source);
}

} // namespace
} // namespace voxlane
