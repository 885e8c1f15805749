// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AppIcon.h"

#include "platform/RegularFile.h"
#include "ui/Labels.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QIcon>
#include <QPainter>

namespace voxlane {

namespace {

// Icon files are at most this large; a desktop entry may name anything.
constexpr std::size_t maxIconFileSize = std::size_t{8} << 20;

// An icon named by its path in a desktop entry: read only when it is a regular file, without
// blocking (the entry may name a FIFO or a device), then decoded from memory.
QIcon iconFromFile(const std::string& path) {
    const auto read = RegularFile::read(path, maxIconFileSize);
    if (!read.ok()) return {};
    QPixmap pixmap;
    if (!pixmap.loadFromData(reinterpret_cast<const uchar*>(read.contents.data()),
                             static_cast<uint>(read.contents.size()))) {
        return {};
    }
    return QIcon(pixmap);
}

} // namespace

QPixmap appIcon(const AppGroup& app, int size) {
    const qreal scale = 2;
    if (!app.icon.empty() && (!app.icon.symbol || Symbols::known(app.icon.name))) {
        const bool isPath = app.icon.name.find('/') != std::string::npos;
        QIcon icon;
        if (app.icon.symbol) {
            icon = Symbols::icon(app.icon.name, Theme::primary(), size);
        } else if (isPath) {
            icon = iconFromFile(app.icon.name);
        } else {
            icon = QIcon::fromTheme(qstr(app.icon.name));
        }
        if (!icon.isNull()) {
            const QPixmap pixmap = icon.pixmap(QSize(size, size), scale);
            if (!pixmap.isNull()) return pixmap;
        }
    }
    QPixmap tile(QSize(size, size) * scale);
    tile.setDevicePixelRatio(scale);
    tile.fill(Qt::transparent);
    QPainter p(&tile);
    p.setRenderHint(QPainter::Antialiasing);
    const auto hue = static_cast<int>(qHash(qstr(app.id)) % 360);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromHsv(hue, 110, 200));
    p.drawRoundedRect(QRectF(0, 0, size, size), size * 0.25, size * 0.25);
    p.setPen(Qt::white);
    p.setFont(Theme::systemFont(size * 0.55, QFont::DemiBold));
    const QString name = qstr(app.name);
    p.drawText(QRectF(0, 0, size, size), Qt::AlignCenter,
               name.isEmpty() ? "?" : name.left(1).toUpper());
    return tile;
}

} // namespace voxlane
