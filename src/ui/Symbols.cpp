#include "ui/Symbols.h"

#include <QPainter>
#include <QPainterPath>
#include <array>
#include <cmath>

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

} // namespace

bool known(std::string_view name) {
    static constexpr std::array<std::string_view, 12> names{"speaker.wave.3.fill",
                                                            "speaker.slash.fill",
                                                            "headphones",
                                                            "slider.vertical.3",
                                                            "mic.fill",
                                                            "mic.slash.fill",
                                                            "arrow.down",
                                                            "checkmark",
                                                            "chevron.down",
                                                            "ellipsis",
                                                            "keyboard",
                                                            "airplay.audio"};
    for (auto n : names)
        if (n == name) return true;
    return false;
}

void draw(QPainter& painter, std::string_view name, const QRectF& box, const QColor& color) {
    const double size = std::min(box.width(), box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center());
    painter.scale(size / grid, size / grid);
    painter.translate(-grid / 2, -grid / 2);
    const QPen line(color, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(line);
    painter.setBrush(Qt::NoBrush);

    // Symbols with a slash are drawn on a layer of their own, so that the gap around the slash
    // cuts only the symbol.
    const bool slashed = name == "speaker.slash.fill" || name == "mic.slash.fill";
    QImage layer;
    QPainter* p = &painter;
    QPainter layerPainter;
    if (slashed) {
        const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        const int px = int(std::ceil(size * dpr * 2)); // twice the pixels, for smooth edges
        layer = QImage(std::max(px, 1), std::max(px, 1), QImage::Format_ARGB32_Premultiplied);
        layer.fill(Qt::transparent);
        layerPainter.begin(&layer);
        layerPainter.setRenderHint(QPainter::Antialiasing);
        layerPainter.scale(layer.width() / grid, layer.height() / grid);
        layerPainter.setPen(line);
        p = &layerPainter;
    }

    if (name == "speaker.wave.3.fill" || name == "speaker.slash.fill") {
        p->fillPath(speakerBody(), color);
        if (name == "speaker.wave.3.fill") {
            p->setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap));
            strokeArc(*p, {11.5, 12}, 3.5, -50, 100);
            strokeArc(*p, {11.5, 12}, 6.5, -52, 104);
            strokeArc(*p, {11.5, 12}, 9.5, -54, 108);
        } else {
            p->setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap));
            strokeArc(*p, {11.5, 12}, 4.5, -50, 100);
            strokeArc(*p, {11.5, 12}, 8, -52, 104);
        }
    } else if (name == "headphones") {
        strokeArc(*p, {12, 13}, 8.5, 0, 180);
        p->setBrush(color);
        p->drawRoundedRect(QRectF(3.5, 13, 4, 8), 1.6, 1.6);
        p->drawRoundedRect(QRectF(16.5, 13, 4, 8), 1.6, 1.6);
    } else if (name == "slider.vertical.3") {
        const std::array<double, 3> xs{5, 12, 19}, knobs{8, 15, 10};
        for (int i = 0; i < 3; ++i) {
            p->setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap));
            p->drawLine(QPointF(xs[i], 3), QPointF(xs[i], 21));
            p->setPen(Qt::NoPen);
            p->setBrush(color);
            p->drawRoundedRect(QRectF(xs[i] - 2.6, knobs[i] - 1.8, 5.2, 3.6), 1.2, 1.2);
        }
    } else if (name == "mic.fill" || name == "mic.slash.fill") {
        p->fillPath(micBody(), color);
        strokeArc(*p, {12, 9.5}, 7, 180, 180);
        p->drawLine(QPointF(12, 16.5), QPointF(12, 21));
        p->drawLine(QPointF(8.5, 21), QPointF(15.5, 21));
    } else if (name == "arrow.down") {
        p->drawLine(QPointF(12, 3.5), QPointF(12, 20));
        p->drawPolyline(
            std::array<QPointF, 3>{QPointF(5.5, 13.5), QPointF(12, 20), QPointF(18.5, 13.5)}.data(),
            3);
    } else if (name == "checkmark") {
        p->drawPolyline(
            std::array<QPointF, 3>{QPointF(4, 12.5), QPointF(9.5, 18), QPointF(20, 5.5)}.data(), 3);
    } else if (name == "chevron.down") {
        p->drawPolyline(
            std::array<QPointF, 3>{QPointF(5, 9), QPointF(12, 16), QPointF(19, 9)}.data(), 3);
    } else if (name == "ellipsis") {
        p->setPen(Qt::NoPen);
        p->setBrush(color);
        for (double x : {5.0, 12.0, 19.0})
            p->drawEllipse(QPointF(x, 12), 2, 2);
    } else if (name == "keyboard") {
        p->setPen(QPen(color, 1.6));
        p->drawRoundedRect(QRectF(2, 6, 20, 12), 2.5, 2.5);
        p->setPen(Qt::NoPen);
        p->setBrush(color);
        for (int row = 0; row < 2; ++row)
            for (int col = 0; col < 5; ++col)
                p->drawRect(QRectF(4.6 + col * 3.3, 8.6 + row * 3, 1.8, 1.6));
        p->drawRect(QRectF(7.5, 14.6, 9, 1.6));
    } else if (name == "airplay.audio") {
        p->setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap));
        strokeArc(*p, {12, 12}, 4, 20, 140);
        strokeArc(*p, {12, 12}, 8, 20, 140);
        p->setPen(Qt::NoPen);
        p->setBrush(color);
        p->drawPolygon(
            std::array<QPointF, 3>{QPointF(12, 13), QPointF(18, 21), QPointF(6, 21)}.data(), 3);
    } else {
        p->setPen(Qt::NoPen);
        p->setBrush(color);
        p->drawEllipse(QPointF(12, 12), 3, 3);
    }

    if (slashed) {
        slash(*p, color);
        layerPainter.end();
        painter.drawImage(QRectF(0, 0, grid, grid), layer);
    }
    painter.restore();
}

} // namespace voxlane::Symbols
