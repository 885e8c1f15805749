// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Symbols.h"

#include "ui/WindowSymbols.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <array>
#include <cmath>
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

} // namespace

const char* themeName(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, const char*>, 23> names{{
        {"output.menu", "audio-speakers-symbolic"},
        {"speaker.wave.1.fill", "audio-volume-low-symbolic"},
        {"speaker.wave.2.fill", "audio-volume-medium-symbolic"},
        {"speaker.wave.3.fill", "audio-volume-high-symbolic"},
        {"speaker.slash.fill", "audio-volume-muted-symbolic"},
        {"speaker.wave.2", "audio-speakers-symbolic"},
        {"hifispeaker", "audio-speakers-symbolic"},
        {"headphones", "audio-headphones-symbolic"},
        {"airpods", "audio-headphones-symbolic"},
        {"airpodspro", "audio-headphones-symbolic"},
        {"airpodsmax", "audio-headphones-symbolic"},
        {"mic", "audio-input-microphone-symbolic"},
        {"mic.fill", "audio-input-microphone-symbolic"},
        {"mic.slash.fill", "microphone-sensitivity-muted-symbolic"},
        {"laptopcomputer", "computer-laptop-symbolic"},
        {"display", "video-display-symbolic"},
        {"iphone", "phone-symbolic"},
        {"keyboard", "input-keyboard-symbolic"},
        {"checkmark", "object-select-symbolic"},
        {"chevron.down", "pan-down-symbolic"},
        {"arrow.down", "go-down-symbolic"},
        {"ellipsis", "view-more-symbolic"},
        {"slider.horizontal.3", "preferences-system-symbolic"},
    }};
    for (const auto& [symbol, theme] : names)
        if (symbol == name) return theme;
    return "";
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
    if (WindowSymbols::ownSymbol(name)) return true;
    static constexpr std::array<std::string_view, 28> names{"output.menu",
                                                            "speaker.wave.1.fill",
                                                            "speaker.wave.2.fill",
                                                            "speaker.wave.3.fill",
                                                            "speaker.slash.fill",
                                                            "speaker.wave.2",
                                                            "headphones",
                                                            "airpods",
                                                            "airpodspro",
                                                            "airpodsmax",
                                                            "slider.vertical.3",
                                                            "mic.fill",
                                                            "mic.slash.fill",
                                                            "mic",
                                                            "arrow.down",
                                                            "checkmark",
                                                            "chevron.down",
                                                            "ellipsis",
                                                            "keyboard",
                                                            "airplay.audio",
                                                            "airplayaudio",
                                                            "laptopcomputer",
                                                            "display",
                                                            "hifispeaker",
                                                            "iphone",
                                                            "slider.horizontal.3",
                                                            "waveform.badge.exclamationmark",
                                                            "phone.badge.waveform"};
    for (auto n : names)
        if (n == name) return true;
    return false;
}

void draw(QPainter& painter, std::string_view name, const QRectF& box, const QColor& color) {
    // The symbols of the device and first-run windows have their own drawings.
    if (WindowSymbols::ownSymbol(name)) {
        WindowSymbols::draw(painter, name, box, color);
        return;
    }
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
    // So are those with a cut-out badge.
    const bool layered = slashed || name == "waveform.badge.exclamationmark";
    QImage layer;
    QPainter* p = &painter;
    QPainter layerPainter;
    if (layered) {
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

    if (name.starts_with("speaker.")) {
        // A speaker with one to three waves by its level; slashed: two fainter-spaced waves.
        p->fillPath(speakerBody(), color);
        p->setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap));
        if (name == "speaker.slash.fill") {
            strokeArc(*p, {11.5, 12}, 4.5, -50, 100);
            strokeArc(*p, {11.5, 12}, 8, -52, 104);
        } else {
            const int waves = name == "speaker.wave.1.fill"   ? 1
                              : name == "speaker.wave.3.fill" ? 3
                                                              : 2;
            for (int i = 0; i < waves; ++i)
                strokeArc(*p, {11.5, 12}, 3.5 + 3 * i, -50 - 2 * i, 100 + 4 * i);
        }
    } else if (name == "airpods" || name == "airpodspro" || name == "airpodsmax") {
        // Two earbuds with their stems.
        p->setBrush(color);
        p->setPen(Qt::NoPen);
        p->drawEllipse(QPointF(7, 8), 3.6, 3.6);
        p->drawEllipse(QPointF(17, 8), 3.6, 3.6);
        p->drawRoundedRect(QRectF(7.6, 8, 2.6, 12), 1.3, 1.3);
        p->drawRoundedRect(QRectF(13.8, 8, 2.6, 12), 1.3, 1.3);
    } else if (name == "laptopcomputer") {
        p->setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p->drawRoundedRect(QRectF(4.5, 5, 15, 10.5), 1.5, 1.5);
        p->setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap));
        p->drawLine(QPointF(2, 18.5), QPointF(22, 18.5));
    } else if (name == "display") {
        p->setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p->drawRoundedRect(QRectF(2.5, 4, 19, 12.5), 1.5, 1.5);
        p->drawLine(QPointF(12, 16.5), QPointF(12, 20));
        p->drawLine(QPointF(8, 20.5), QPointF(16, 20.5));
    } else if (name == "hifispeaker") {
        p->setPen(QPen(color, 1.6));
        p->drawRoundedRect(QRectF(6, 2.5, 12, 19), 2.5, 2.5);
        p->drawEllipse(QPointF(12, 14.5), 3.6, 3.6);
        p->setPen(Qt::NoPen);
        p->setBrush(color);
        p->drawEllipse(QPointF(12, 7), 1.6, 1.6);
    } else if (name == "iphone") {
        p->setPen(QPen(color, 1.6));
        p->drawRoundedRect(QRectF(7, 2.5, 10, 19), 2.5, 2.5);
        p->setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap));
        p->drawLine(QPointF(10.5, 5), QPointF(13.5, 5));
    } else if (name == "slider.horizontal.3") {
        const std::array<double, 3> ys{5, 12, 19}, knobs{15, 8, 13};
        for (int i = 0; i < 3; ++i) {
            p->setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap));
            p->drawLine(QPointF(3, ys[i]), QPointF(21, ys[i]));
            p->setPen(Qt::NoPen);
            p->setBrush(color);
            p->drawRoundedRect(QRectF(knobs[i] - 1.8, ys[i] - 2.6, 3.6, 5.2), 1.2, 1.2);
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
    } else if (name == "mic") {
        p->setPen(QPen(color, 1.6));
        p->drawPath(micBody());
        p->setPen(line);
        strokeArc(*p, {12, 9.5}, 7, 180, 180);
        p->drawLine(QPointF(12, 16.5), QPointF(12, 21));
        p->drawLine(QPointF(8.5, 21), QPointF(15.5, 21));
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
    } else if (name == "output.menu") {
        // The output chooser: a small speaker with one wave, and a chevron that opens a list.
        p->save();
        p->translate(-1.5, 0);
        p->scale(0.72, 0.72);
        p->translate(0, 4.7);
        p->fillPath(speakerBody(), color);
        p->setPen(QPen(color, 2.4, Qt::SolidLine, Qt::RoundCap));
        strokeArc(*p, {11.5, 12}, 4, -50, 100);
        p->restore();
        p->setPen(QPen(color, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p->drawPolyline(
            std::array<QPointF, 3>{QPointF(15, 10), QPointF(18.5, 14), QPointF(22, 10)}.data(), 3);
    } else if (name == "airplay.audio" || name == "airplayaudio") {
        p->setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap));
        strokeArc(*p, {12, 12}, 4, 20, 140);
        strokeArc(*p, {12, 12}, 8, 20, 140);
        p->setPen(Qt::NoPen);
        p->setBrush(color);
        p->drawPolygon(
            std::array<QPointF, 3>{QPointF(12, 13), QPointF(18, 21), QPointF(6, 21)}.data(), 3);
    } else if (name == "waveform.badge.exclamationmark") {
        // Five bars of a waveform, and a round badge with an exclamation mark.
        p->setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap));
        const double heights[] = {4, 10, 16, 8, 5};
        for (int i = 0; i < 5; ++i)
            p->drawLine(QPointF(2.5 + i * 3.2, 12 - heights[i] / 2),
                        QPointF(2.5 + i * 3.2, 12 + heights[i] / 2));
        p->setPen(Qt::NoPen);
        p->setBrush(color);
        p->drawEllipse(QPointF(18.5, 17.5), 5, 5);
        p->setCompositionMode(QPainter::CompositionMode_Clear);
        p->drawRoundedRect(QRectF(17.7, 14, 1.6, 4.6), 0.8, 0.8);
        p->drawEllipse(QPointF(18.5, 20.6), 0.95, 0.95);
        p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    } else if (name == "phone.badge.waveform") {
        // A handset, and three bars of a waveform beside it.
        QPainterPath handset;
        handset.moveTo(4.5, 3.5);
        handset.cubicTo(3, 4.5, 2.5, 7, 3.5, 9.5);
        handset.cubicTo(5.5, 14.5, 9.5, 18.5, 14.5, 20.5);
        handset.cubicTo(17, 21.5, 19.5, 21, 20.5, 19.5);
        handset.lineTo(17.5, 15.5);
        handset.lineTo(14.5, 16.5);
        handset.cubicTo(11.5, 15, 9, 12.5, 7.5, 9.5);
        handset.lineTo(8.5, 6.5);
        handset.closeSubpath();
        p->setPen(Qt::NoPen);
        p->setBrush(color);
        p->drawPath(handset);
        p->setPen(QPen(color, 1.7, Qt::SolidLine, Qt::RoundCap));
        p->drawLine(QPointF(14, 7), QPointF(14, 10));
        p->drawLine(QPointF(17, 4), QPointF(17, 13));
        p->drawLine(QPointF(20, 6), QPointF(20, 11));
    } else {
        p->setPen(Qt::NoPen);
        p->setBrush(color);
        p->drawEllipse(QPointF(12, 12), 3, 3);
    }

    if (slashed) slash(*p, color);
    if (layered) {
        layerPainter.end();
        painter.drawImage(QRectF(0, 0, grid, grid), layer);
    }
    painter.restore();
}

} // namespace voxlane::Symbols
