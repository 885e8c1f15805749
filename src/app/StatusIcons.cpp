// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StatusIcons.h"

#include "platform/DesktopSession.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>

namespace voxlane::StatusIcons {
namespace {

struct FaderShape {
    double trackX;
    double knobX, knobY; // the design's origin is at the bottom left
};
constexpr std::array<FaderShape, 3> faders{{{2.8, 1.1, 3.2}, {8.3, 6.6, 9.7}, {13.8, 12.1, 5.7}}};
constexpr double designWidth = 18, designHeight = 16;

// Design coordinates (y up) to painter coordinates (y down).
QRectF flipped(double x, double y, double w, double h) {
    return QRectF(x, designHeight - y - h, w, h);
}

QPainterPath rounded(const QRectF& r, double radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

} // namespace

QImage menuBarImage(int size, const QColor& color) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double scale = size / designWidth;
    p.translate(0, (size - designHeight * scale) / 2);
    p.scale(scale, scale);
    for (const FaderShape& f : faders) {
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.fillPath(rounded(flipped(f.trackX, 1.5, 1.4, 13.0), 0.7), color);
        // A clear gap round the knob, cut out of the track.
        const QRectF knob = flipped(f.knobX, f.knobY, 4.8, 2.6);
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.fillPath(rounded(knob.adjusted(-1, -1, 1, 1), 2.2), Qt::black);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.fillPath(rounded(knob, 1.3), color);
    }
    return image;
}

QImage haloed(const QImage& image, const QColor& color) {
    // A faint rim in the opposite brightness keeps the icon legible on any tray background.
    const QColor rim = color.lightness() > 128 ? QColor(0, 0, 0, 120) : QColor(255, 255, 255, 150);
    QImage shadow = image;
    {
        QPainter p(&shadow);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(shadow.rect(), rim);
    }
    QImage out(image.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    const qreal step = std::max(1.0, image.width() / 22.0);
    for (QPointF offset :
         {QPointF(-step, 0), QPointF(step, 0), QPointF(0, -step), QPointF(0, step)})
        p.drawImage(offset, shadow);
    p.drawImage(QPointF(0, 0), image);
    return out;
}

QIcon menuBarIcon(const QColor& color) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 44, 48, 64})
        icon.addPixmap(QPixmap::fromImage(haloed(menuBarImage(size, color), color)));
    return icon;
}

QIcon mutedIcon(const QColor& color) {
    const QString theme = QString::fromLatin1(Symbols::themeName("microphone-sensitivity-muted"));
    if (QIcon::hasThemeIcon(theme)) return QIcon::fromTheme(theme);
    QIcon icon;
    for (int size : {16, 22, 24, 32, 44, 48, 64}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        Symbols::draw(p, "microphone-sensitivity-muted", QRectF(1, 1, size - 2, size - 2), color);
        p.end();
        icon.addPixmap(QPixmap::fromImage(haloed(image, color)));
    }
    return icon;
}

QColor trayColor(bool darkScheme, const std::vector<std::string>& desktops) {
    static const QColor light(240, 240, 240), dark(30, 30, 30);
    for (const std::string& desktop : desktops)
        if (desktop == "gnome" || desktop == "unity" || desktop == "pantheon") return light;
    return darkScheme ? light : dark;
}

QColor trayColor() {
    return trayColor(Theme::variant() == Theme::Variant::dark, DesktopSession::currentDesktops());
}

QImage applicationImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 128.0, size / 128.0);
    // A rounded tile in a deep blue to violet gradient, with the three faders in white.
    QLinearGradient tile(0, 8, 0, 120);
    tile.setColorAt(0, QColor(0x4b, 0x6c, 0xf0));
    tile.setColorAt(1, QColor(0x7a, 0x3f, 0xc8));
    p.fillPath(rounded(QRectF(8, 8, 112, 112), 26), tile);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(24, 24, 80, 80), menuBarImage(256, Qt::white));
    return image;
}

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(applicationImage(size)));
    return icon;
}

} // namespace voxlane::StatusIcons
