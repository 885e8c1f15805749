// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AppIcon.h"

#include <QColor>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace voxlane {
namespace {

AppGroup appWithIcon(std::string icon) {
    AppGroup app;
    app.id = "org.example.Player";
    app.name = "Player";
    app.icon = AppIcon{std::move(icon), false};
    return app;
}

// A desktop entry's Icon= may name any path: a regular image file is shown; a FIFO (which would
// block the opening thread for ever), a device or a directory gives the lettered tile instead.
TEST(AppIconTest, IconPathsAreReadOnlyWhenTheyAreRegularFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage red(32, 32, QImage::Format_ARGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(dir.filePath("red.png")));
    const QImage shown = appIcon(appWithIcon(dir.filePath("red.png").toStdString()), 20).toImage();
    EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::red));
    const QString fifo = dir.filePath("icon.png");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QImage tile = appIcon(appWithIcon(""), 20).toImage();
    for (const QString& path : {fifo, QString("/dev/zero"), dir.path()})
        EXPECT_EQ(appIcon(appWithIcon(path.toStdString()), 20).toImage(), tile)
            << path.toStdString();
}

// The icon theme is asked by the desktop entry's icon, then the app id, then the program's name
// (a process's by its name without the prefix), never by a path or one of our symbols.
TEST(AppIconTest, TheThemeIsAskedByEntryIconThenAppIdThenProgram) {
    AppGroup app = appWithIcon("player-entry");
    app.executable = "player-bin";
    EXPECT_EQ(appIconThemeNames(app),
              (QStringList{"player-entry", "org.example.Player", "player-bin"}));
    EXPECT_EQ(appIconThemeNames(appWithIcon("/usr/share/pixmaps/player.png")),
              QStringList{"org.example.Player"});
    AppGroup process;
    process.id = "process.sox";
    process.icon = AppIcon{"terminal", true};
    process.name = process.executable = "sox";
    EXPECT_EQ(appIconThemeNames(process), QStringList{"sox"}) << "symbols and repeats left out";
}

} // namespace
} // namespace voxlane
