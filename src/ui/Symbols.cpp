// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Symbols.h"

#include "ui/WindowSymbols.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <array>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <utility>

namespace voxlane::Symbols {

namespace {

// Every symbol is drawn on a 24 × 24 grid and scaled into its box.
constexpr double grid = 24;

QPainterPath speakerBody() {
    QPainterPath p;
    p.moveTo(2.5, 9);
    p.lineTo(6.5, 9);
    p.lineTo(11.5, 4.5);
    p.lineTo(11.5, 19.5);
    p.lineTo(6.5, 15);
    p.lineTo(2.5, 15);
    p.closeSubpath();
    return p;
}

void strokeArc(QPainter& p, QPointF centre, double radius, double startDeg, double spanDeg) {
    p.drawArc(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
              int(startDeg * 16), int(spanDeg * 16));
}

QPainterPath micBody() {
    QPainterPath p;
    p.addRoundedRect(QRectF(8.5, 2, 7, 12.5), 3.5, 3.5);
    return p;
}

void slash(QPainter& p, const QColor& color) {
    // A slash with a gap cut around it, so that it reads over a filled shape.
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.setPen(QPen(Qt::black, 4.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3), QPointF(20.5, 21));
    p.restore();
    p.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3), QPointF(20.5, 21));
}

QPen linePen(const QColor& color, double width = 2) {
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void polyline(QPainter& p, std::initializer_list<QPointF> points) {
    p.drawPolyline(std::data(points), int(points.size()));
}

// ---- the drawings, each on the 24 × 24 grid with a 2-unit round pen and no brush ----

// A speaker with one to three waves.
void speakerWaves(QPainter& p, const QColor& color, int waves) {
    p.fillPath(speakerBody(), color);
    p.setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < waves; ++i)
        strokeArc(p, {11.5, 12}, 3.5 + 3 * i, -50 - 2 * i, 100 + 4 * i);
}

void volumeLow(QPainter& p, const QColor& color) {
    speakerWaves(p, color, 1);
}
void volumeMedium(QPainter& p, const QColor& color) {
    speakerWaves(p, color, 2);
}
void volumeHigh(QPainter& p, const QColor& color) {
    speakerWaves(p, color, 3);
}

// Muted: two fainter-spaced waves (the slash goes over them).
void volumeMuted(QPainter& p, const QColor& color) {
    p.fillPath(speakerBody(), color);
    p.setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap));
    strokeArc(p, {11.5, 12}, 4.5, -50, 100);
    strokeArc(p, {11.5, 12}, 8, -52, 104);
}

// Two earbuds with their stems.
void earbuds(QPainter& p, const QColor& color) {
    p.setBrush(color);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(7, 8), 3.6, 3.6);
    p.drawEllipse(QPointF(17, 8), 3.6, 3.6);
    p.drawRoundedRect(QRectF(7.6, 8, 2.6, 12), 1.3, 1.3);
    p.drawRoundedRect(QRectF(13.8, 8, 2.6, 12), 1.3, 1.3);
}

void laptop(QPainter& p, const QColor& color) {
    p.setPen(linePen(color, 1.6));
    p.drawRoundedRect(QRectF(4.5, 5, 15, 10.5), 1.5, 1.5);
    p.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(2, 18.5), QPointF(22, 18.5));
}

void monitor(QPainter& p, const QColor& color) {
    p.setPen(linePen(color, 1.6));
    p.drawRoundedRect(QRectF(2.5, 4, 19, 12.5), 1.5, 1.5);
    p.drawLine(QPointF(12, 16.5), QPointF(12, 20));
    p.drawLine(QPointF(8, 20.5), QPointF(16, 20.5));
}

// A loudspeaker cabinet with a woofer and a tweeter.
void loudspeaker(QPainter& p, const QColor& color) {
    p.setPen(QPen(color, 1.6));
    p.drawRoundedRect(QRectF(6, 2.5, 12, 19), 2.5, 2.5);
    p.drawEllipse(QPointF(12, 14.5), 3.6, 3.6);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QPointF(12, 7), 1.6, 1.6);
}

void phone(QPainter& p, const QColor& color) {
    p.setPen(QPen(color, 1.6));
    p.drawRoundedRect(QRectF(7, 2.5, 10, 19), 2.5, 2.5);
    p.setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10.5, 5), QPointF(13.5, 5));
}

// Three sliders with their knobs, lying or standing.
void sliders(QPainter& p, const QColor& color, bool vertical) {
    const std::array<double, 3> lines{5, 12, 19};
    const std::array<double, 3> knobs =
        vertical ? std::array<double, 3>{8, 15, 10} : std::array<double, 3>{15, 8, 13};
    for (int i = 0; i < 3; ++i) {
        p.setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        if (vertical)
            p.drawLine(QPointF(lines[i], 3), QPointF(lines[i], 21));
        else
            p.drawLine(QPointF(3, lines[i]), QPointF(21, lines[i]));
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        if (vertical)
            p.drawRoundedRect(QRectF(lines[i] - 2.6, knobs[i] - 1.8, 5.2, 3.6), 1.2, 1.2);
        else
            p.drawRoundedRect(QRectF(knobs[i] - 1.8, lines[i] - 2.6, 3.6, 5.2), 1.2, 1.2);
    }
}
void slidersHorizontal(QPainter& p, const QColor& color) {
    sliders(p, color, false);
}
void slidersVertical(QPainter& p, const QColor& color) {
    sliders(p, color, true);
}

void headphones(QPainter& p, const QColor& color) {
    strokeArc(p, {12, 13}, 8.5, 0, 180);
    p.setBrush(color);
    p.drawRoundedRect(QRectF(3.5, 13, 4, 8), 1.6, 1.6);
    p.drawRoundedRect(QRectF(16.5, 13, 4, 8), 1.6, 1.6);
}

void micStand(QPainter& p) {
    strokeArc(p, {12, 9.5}, 7, 180, 180);
    p.drawLine(QPointF(12, 16.5), QPointF(12, 21));
    p.drawLine(QPointF(8.5, 21), QPointF(15.5, 21));
}

void microphoneOutline(QPainter& p, const QColor& color) {
    p.setPen(QPen(color, 1.6));
    p.drawPath(micBody());
    p.setPen(linePen(color));
    micStand(p);
}

void microphoneFilled(QPainter& p, const QColor& color) {
    p.fillPath(micBody(), color);
    micStand(p);
}

void arrowDown(QPainter& p, const QColor&) {
    p.drawLine(QPointF(12, 3.5), QPointF(12, 20));
    polyline(p, {QPointF(5.5, 13.5), QPointF(12, 20), QPointF(18.5, 13.5)});
}

void checkmark(QPainter& p, const QColor&) {
    polyline(p, {QPointF(4, 12.5), QPointF(9.5, 18), QPointF(20, 5.5)});
}

void chevronDown(QPainter& p, const QColor&) {
    polyline(p, {QPointF(5, 9), QPointF(12, 16), QPointF(19, 9)});
}

void ellipsis(QPainter& p, const QColor& color) {
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    for (double x : {5.0, 12.0, 19.0})
        p.drawEllipse(QPointF(x, 12), 2, 2);
}

void keyboard(QPainter& p, const QColor& color) {
    p.setPen(QPen(color, 1.6));
    p.drawRoundedRect(QRectF(2, 6, 20, 12), 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 5; ++col)
            p.drawRect(QRectF(4.6 + col * 3.3, 8.6 + row * 3, 1.8, 1.6));
    p.drawRect(QRectF(7.5, 14.6, 9, 1.6));
}

// The output chooser: a small speaker with one wave, and a chevron that opens a list.
void speakerMenu(QPainter& p, const QColor& color) {
    p.save();
    p.translate(-1.5, 0);
    p.scale(0.72, 0.72);
    p.translate(0, 4.7);
    p.fillPath(speakerBody(), color);
    p.setPen(QPen(color, 2.4, Qt::SolidLine, Qt::RoundCap));
    strokeArc(p, {11.5, 12}, 4, -50, 100);
    p.restore();
    p.setPen(linePen(color, 2.2));
    polyline(p, {QPointF(15, 10), QPointF(18.5, 14), QPointF(22, 10)});
}

// Sound waves over a screen's triangle: a speaker on the network.
void networkSpeaker(QPainter& p, const QColor& color) {
    p.setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap));
    strokeArc(p, {12, 12}, 4, 20, 140);
    strokeArc(p, {12, 12}, 8, 20, 140);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    const std::array<QPointF, 3> triangle{QPointF(12, 13), QPointF(18, 21), QPointF(6, 21)};
    p.drawPolygon(triangle.data(), 3);
}

// Five bars of a waveform, and a round badge with an exclamation mark.
void waveformWarning(QPainter& p, const QColor& color) {
    p.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap));
    const double heights[] = {4, 10, 16, 8, 5};
    for (int i = 0; i < 5; ++i)
        p.drawLine(QPointF(2.5 + i * 3.2, 12 - heights[i] / 2),
                   QPointF(2.5 + i * 3.2, 12 + heights[i] / 2));
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QPointF(18.5, 17.5), 5, 5);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.drawRoundedRect(QRectF(17.7, 14, 1.6, 4.6), 0.8, 0.8);
    p.drawEllipse(QPointF(18.5, 20.6), 0.95, 0.95);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void dot(QPainter& p, const QColor& color) {
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QPointF(12, 12), 3, 3);
}

// Symbols with a slash, or with a badge cut out of them, are drawn on a layer of their own, so
// that the cut takes away only the symbol.
enum class Layer { none, slashed, cutOut };

struct Drawing {
    std::string_view name;
    void (*draw)(QPainter& p, const QColor& color);
    Layer layer = Layer::none;
    // The freedesktop icon-theme name that stands for it; null when the themes have nothing
    // that fits.
    const char* themeName = nullptr;
};

constexpr Drawing drawings[] = {
    {"audio-volume-low", volumeLow, Layer::none, "audio-volume-low-symbolic"},
    {"audio-volume-medium", volumeMedium, Layer::none, "audio-volume-medium-symbolic"},
    {"audio-volume-high", volumeHigh, Layer::none, "audio-volume-high-symbolic"},
    {"audio-volume-muted", volumeMuted, Layer::slashed, "audio-volume-muted-symbolic"},
    {"audio-speakers", volumeMedium, Layer::none, "audio-speakers-symbolic"},
    {"speaker-menu", speakerMenu, Layer::none, "audio-speakers-symbolic"},
    {"loudspeaker", loudspeaker, Layer::none, "audio-speakers-symbolic"},
    {"network-speaker", networkSpeaker},
    {"audio-headphones", headphones, Layer::none, "audio-headphones-symbolic"},
    {"earbuds", earbuds, Layer::none, "audio-headphones-symbolic"},
    {"audio-input-microphone", microphoneOutline, Layer::none, "audio-input-microphone-symbolic"},
    {"microphone-sensitivity-high", microphoneFilled, Layer::none,
     "audio-input-microphone-symbolic"},
    {"microphone-sensitivity-muted", microphoneFilled, Layer::slashed,
     "microphone-sensitivity-muted-symbolic"},
    {"computer-laptop", laptop, Layer::none, "computer-laptop-symbolic"},
    {"video-display", monitor, Layer::none, "video-display-symbolic"},
    {"phone", phone, Layer::none, "phone-symbolic"},
    {"input-keyboard", keyboard, Layer::none, "input-keyboard-symbolic"},
    {"checkmark", checkmark, Layer::none, "object-select-symbolic"},
    {"chevron-down", chevronDown, Layer::none, "pan-down-symbolic"},
    {"arrow-down", arrowDown, Layer::none, "go-down-symbolic"},
    {"ellipsis", ellipsis, Layer::none, "view-more-symbolic"},
    {"sliders-horizontal", slidersHorizontal, Layer::none, "preferences-system-symbolic"},
    {"sliders-vertical", slidersVertical},
    {"waveform-warning", waveformWarning, Layer::cutOut},
};

const Drawing* drawing(std::string_view name) {
    for (const auto& d : drawings)
        if (d.name == name) return &d;
    return nullptr;
}

} // namespace

const char* themeName(std::string_view name) {
    const Drawing* d = drawing(name);
    return d && d->themeName ? d->themeName : "";
}

QIcon icon(std::string_view name, const QColor& color, int size, bool preferTheme) {
    if (preferTheme) {
        const QString theme = QString::fromLatin1(themeName(name));
        if (!theme.isEmpty() && QIcon::hasThemeIcon(theme)) return QIcon::fromTheme(theme);
    }
    QIcon result;
    const qreal dpr = qApp ? qApp->devicePixelRatio() : 1.0;
    for (qreal scale : {1.0, 2.0}) {
        const qreal s = std::max(scale, dpr);
        QPixmap pixmap(int(std::ceil(size * s)), int(std::ceil(size * s)));
        pixmap.setDevicePixelRatio(s);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        draw(p, name, QRectF(0, 0, size, size), color);
        p.end();
        result.addPixmap(pixmap);
    }
    return result;
}

bool known(std::string_view name) {
    return WindowSymbols::ownSymbol(name) || drawing(name);
}

void draw(QPainter& painter, std::string_view name, const QRectF& box, const QColor& color) {
    // The symbols of the device and first-run windows have their own drawings.
    if (WindowSymbols::ownSymbol(name)) {
        WindowSymbols::draw(painter, name, box, color);
        return;
    }
    const Drawing* found = drawing(name);
    const Layer layered = found ? found->layer : Layer::none;
    const double size = std::min(box.width(), box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center());
    painter.scale(size / grid, size / grid);
    painter.translate(-grid / 2, -grid / 2);
    painter.setPen(linePen(color));
    painter.setBrush(Qt::NoBrush);
    if (layered == Layer::none) {
        (found ? found->draw : dot)(painter, color);
        painter.restore();
        return;
    }
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const int px = std::max(int(std::ceil(size * dpr * 2)), 1); // twice the pixels, smooth edges
    QImage layer(px, px, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    QPainter p(&layer);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(layer.width() / grid, layer.height() / grid);
    p.setPen(linePen(color));
    found->draw(p, color);
    if (layered == Layer::slashed) slash(p, color);
    p.end();
    painter.drawImage(QRectF(0, 0, grid, grid), layer);
    painter.restore();
}

} // namespace voxlane::Symbols
