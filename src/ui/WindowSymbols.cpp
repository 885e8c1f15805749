// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/WindowSymbols.h"

#include "ui/Symbols.h"

#include <QPainter>
#include <QPainterPath>
#include <array>

namespace voxlane::WindowSymbols {
namespace {

constexpr double grid = 24; // symbols are drawn on a 24-unit grid

void waveform(QPainter& p, double left, double right, double scale) {
    static constexpr std::array<double, 7> heights{0.25, 0.55, 0.9, 0.6, 1.0, 0.5, 0.3};
    const double step = (right - left) / double(heights.size() - 1);
    for (std::size_t i = 0; i < heights.size(); ++i) {
        const double h = 8.5 * heights[i] * scale;
        const double x = left + step * double(i);
        p.drawLine(QPointF(x, 12 - h), QPointF(x, 12 + h));
    }
}

} // namespace

bool ownSymbol(std::string_view name) {
    return name == "circle-slash" || name == "circle-dashed" || name == "lines-horizontal" ||
           name == "waveform" || name == "exclamation-mark" || name == "phone-waveform";
}

void draw(QPainter& painter, std::string_view name, const QRectF& box, const QColor& color) {
    if (!ownSymbol(name)) {
        Symbols::draw(painter, name, box, color);
        return;
    }
    const double size = std::min(box.width(), box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center());
    painter.scale(size / grid, size / grid);
    painter.translate(-grid / 2, -grid / 2);
    QPainter& p = painter;
    p.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    if (name == "circle-slash") {
        p.drawEllipse(QPointF(12, 12), 9, 9);
        p.drawLine(QPointF(5.6, 18.4), QPointF(18.4, 5.6));
    } else if (name == "circle-dashed") {
        QPen dashed(color, 2, Qt::CustomDashLine, Qt::FlatCap);
        dashed.setDashPattern({2.2, 1.9});
        p.setPen(dashed);
        p.drawEllipse(QPointF(12, 12), 9, 9);
    } else if (name == "lines-horizontal") {
        for (double y : {6.5, 12.0, 17.5})
            p.drawLine(QPointF(4, y), QPointF(20, y));
    } else if (name == "waveform") {
        waveform(p, 3, 21, 1.0);
    } else if (name == "exclamation-mark") {
        p.setPen(QPen(color, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 4), QPointF(12, 14.5));
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(QPointF(12, 19.5), 1.7, 1.7);
    } else if (name == "phone-waveform") {
        // A handset with a small waveform beside it.
        QPainterPath handset;
        handset.moveTo(4, 5);
        handset.cubicTo(3, 13, 8, 19, 15, 20);
        handset.lineTo(17, 17.5);
        handset.lineTo(13.5, 14.5);
        handset.lineTo(11.5, 16);
        handset.cubicTo(9.5, 14.5, 8.5, 13, 7.5, 11);
        handset.lineTo(9, 9);
        handset.lineTo(6.5, 4);
        handset.closeSubpath();
        p.setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(handset);
        p.setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap));
        for (auto [x, h] : std::array<std::pair<double, double>, 4>{
                 {{14.5, 1.5}, {17, 3.5}, {19.5, 2.5}, {22, 1.2}}})
            p.drawLine(QPointF(x, 7 - h), QPointF(x, 7 + h));
    }
    painter.restore();
}

} // namespace voxlane::WindowSymbols
