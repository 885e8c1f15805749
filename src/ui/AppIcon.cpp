#include "ui/AppIcon.h"

#include "ui/Labels.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QIcon>
#include <QPainter>

namespace voxlane {

QPixmap appIcon(const AppGroup& app, int size) {
    const qreal scale = 2;
    if (!app.icon.empty() && (!app.icon.symbol || Symbols::known(app.icon.name))) {
        QIcon icon = app.icon.symbol ? Symbols::icon(app.icon.name, Theme::primary(), size)
                                     : QIcon::fromTheme(qstr(app.icon.name));
        if (icon.isNull() && !app.icon.symbol) icon = QIcon(qstr(app.icon.name));
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
