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

QColor centre(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

// A desktop entry's Icon= may name any path: a regular image file is shown; a FIFO (which would
// block the opening thread for ever), a device or a directory gives the lettered tile instead.
TEST(AppIconTest, IconPathsAreReadOnlyWhenTheyAreRegularFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage red(32, 32, QImage::Format_ARGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(dir.filePath("red.png")));
    EXPECT_EQ(centre(appIcon(appWithIcon(dir.filePath("red.png").toStdString()), 20)),
              QColor(Qt::red));

    const QString fifo = dir.filePath("icon.png");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QPixmap tile = appIcon(appWithIcon(""), 20);
    for (const QString& path : {fifo, QString("/dev/zero"), dir.path()}) {
        const QPixmap shown = appIcon(appWithIcon(path.toStdString()), 20);
        EXPECT_EQ(shown.toImage(), tile.toImage()) << path.toStdString();
    }
}

} // namespace
} // namespace voxlane
