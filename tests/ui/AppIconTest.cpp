// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AppIcon.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QIcon>
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

QColor centre(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

// A desktop entry's Icon= may name any path: a regular image file is shown; a FIFO (which would
// block the opening thread for ever), a device or a directory gives the lettered tile instead.
// A theme name is looked up by the entry's icon, then the app id, then the program's name,
// before our own symbol; a letter tile only where none of them is there.
TEST(AppIconTest, PathsAreReadOnlyWhenRegularAndTheThemeIsAskedByEntryIdThenProgram) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString theme = dir.filePath("icons/voxtest");
    ASSERT_TRUE(QDir().mkpath(theme + "/32x32/apps"));
    QFile index(theme + "/index.theme");
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=voxtest\nDirectories=32x32/apps\n\n"
                "[32x32/apps]\nSize=32\nType=Fixed\n");
    index.close();
    for (auto [name, colour] : {std::pair{"player-entry", Qt::red},
                                {"org.example.Player", Qt::green},
                                {"player-bin", Qt::blue},
                                {"sox", Qt::yellow}}) {
        QImage image(32, 32, QImage::Format_ARGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(theme + "/32x32/apps/" + name + ".png"));
    }
    const QString red = theme + "/32x32/apps/player-entry.png";
    EXPECT_EQ(centre(appIcon(appWithIcon(red.toStdString()), 20)), QColor(Qt::red));
    const QString fifo = dir.filePath("icon.png");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QImage tile = appIcon(appWithIcon(""), 20).toImage();
    for (const QString& path : {fifo, QString("/dev/zero"), dir.path()})
        EXPECT_EQ(appIcon(appWithIcon(path.toStdString()), 20).toImage(), tile)
            << path.toStdString();
    // A path in the entry is a file, not a theme name.
    EXPECT_EQ(appIconThemeNames(appWithIcon(red.toStdString())), QStringList{"org.example.Player"});

    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString themeName = QIcon::themeName();
    QIcon::setThemeSearchPaths({dir.filePath("icons")});
    QIcon::setThemeName("voxtest");
    AppGroup app = appWithIcon("player-entry");
    app.executable = "player-bin";
    EXPECT_EQ(appIconThemeNames(app),
              (QStringList{"player-entry", "org.example.Player", "player-bin"}));
    EXPECT_EQ(centre(appIcon(app, 20)), QColor(Qt::red));
    app.icon = AppIcon{"gone-from-the-theme", false};
    EXPECT_EQ(centre(appIcon(app, 20)), QColor(Qt::green)) << "by the app id";
    app.id = "org.example.Unknown";
    EXPECT_EQ(centre(appIcon(app, 20)), QColor(Qt::blue)) << "by the program's name";
    app.executable = "unknown-bin";
    const QImage letter = appIcon(app, 20).toImage();
    EXPECT_NE(centre(appIcon(app, 20)), QColor(Qt::blue));

    // A process known by name only: the theme's icon for it comes before our generic symbol.
    AppGroup process;
    process.id = "process.sox";
    process.icon = AppIcon{"terminal", true};
    process.name = process.executable = "sox";
    EXPECT_EQ(appIconThemeNames(process), QStringList{"sox"}) << "symbols and repeats left out";
    EXPECT_EQ(centre(appIcon(process, 20)), QColor(Qt::yellow));
    process.id = "process.unknown-tool";
    process.executable = "unknown-tool";
    EXPECT_NE(appIcon(process, 20).toImage(), letter) << "our symbol, not a letter tile";
    QIcon::setThemeSearchPaths(searchPaths);
    QIcon::setThemeName(themeName);
}

} // namespace
} // namespace voxlane
