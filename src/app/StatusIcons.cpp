#include "app/StatusIcons.h"

#include "ui/Symbols.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
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

QIcon menuBarIcon(const QColor& color) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 44, 48, 64})
        icon.addPixmap(QPixmap::fromImage(menuBarImage(size, color)));
    return icon;
}

QIcon mutedIcon(const QColor& color) {
    return Symbols::icon("mic.slash.fill", color, 22, /*preferTheme=*/true);
}

QColor trayColor() {
    return QGuiApplication::palette().color(QPalette::WindowText);
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
