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

QStringList appIconThemeNames(const AppGroup& app) {
    QStringList names;
    auto add = [&names](const std::string& name) {
        const QString n = qstr(name);
        if (!n.isEmpty() && !n.contains('/') && !names.contains(n)) names << n;
    };
    if (!app.icon.symbol) add(app.icon.name);
    constexpr std::string_view processPrefix = "process.";
    add(app.id.starts_with(processPrefix) ? app.id.substr(processPrefix.size()) : app.id);
    add(app.executable);
    return names;
}

QPixmap appIcon(const AppGroup& app, int size) {
    const qreal scale = 2;
    auto shown = [&](const QIcon& icon) {
        return icon.isNull() ? QPixmap() : icon.pixmap(QSize(size, size), scale);
    };
    QPixmap pixmap;
    if (!app.icon.symbol && app.icon.name.find('/') != std::string::npos)
        pixmap = shown(iconFromFile(app.icon.name));
    for (const QString& name : appIconThemeNames(app)) {
        if (!pixmap.isNull()) break;
        if (QIcon::hasThemeIcon(name)) pixmap = shown(QIcon::fromTheme(name));
    }
    if (pixmap.isNull() && app.icon.symbol && Symbols::known(app.icon.name))
        pixmap = shown(Symbols::icon(app.icon.name, Theme::primary(), size));
    if (!pixmap.isNull()) return pixmap;

    QPixmap tile(QSize(size, size) * scale);
    tile.setDevicePixelRatio(scale);
    tile.fill(Qt::transparent);
    QPainter p(&tile);
    p.setRenderHint(QPainter::Antialiasing);
    const auto colours = Theme::letterTile(static_cast<int>(qHash(qstr(app.id)) % 360));
    p.setPen(Qt::NoPen);
    p.setBrush(colours.fill);
    p.drawRoundedRect(QRectF(0, 0, size, size), size * 0.25, size * 0.25);
    p.setPen(colours.letter);
    p.setFont(Theme::systemFont(size * 0.55, QFont::DemiBold));
    const QString name = qstr(app.name);
    p.drawText(QRectF(0, 0, size, size), Qt::AlignCenter,
               name.isEmpty() ? "?" : name.left(1).toUpper());
    return tile;
}

} // namespace voxlane
