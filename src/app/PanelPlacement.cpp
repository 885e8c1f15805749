// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PanelPlacement.h"

#include <algorithm>
#include <cmath>

namespace voxlane::PanelPlacement {

QRect frame(QSize size, const std::optional<QRect>& anchor, const QRect& available) {
    const int w = size.width(), h = size.height();
    // QRect's right() and bottom() are one pixel short of the edge; work with edges.
    const int areaLeft = available.x(), areaRight = available.x() + available.width();
    const int areaTop = available.y(), areaBottom = available.y() + available.height();
    if (!anchor) return QRect(areaRight - w - 8, areaTop + 2, w, h);

    int left = int(std::lround(anchor->x() + anchor->width() / 2.0 - w / 2.0));
    left = std::max(left, areaLeft + 4);
    left = std::min(left, areaRight - w - 4);
    const double anchorMid = anchor->y() + anchor->height() / 2.0;
    const bool atBottom = anchorMid > (areaTop + areaBottom) / 2.0;
    const int top = atBottom ? anchor->y() - 2 - h : anchor->y() + anchor->height() + 2;
    return QRect(left, top, w, h);
}

namespace {

enum class Edge { top, bottom, left, right };

Edge edgeAt(QPoint p, const QRect& screen, const QRect& area) {
    const int areaRight = area.x() + area.width(), areaBottom = area.y() + area.height();
    if (p.y() < area.y()) return Edge::top;
    if (p.y() >= areaBottom) return Edge::bottom;
    if (p.x() < area.x()) return Edge::left;
    if (p.x() >= areaRight) return Edge::right;
    // A panel that hides itself, or a point the host reported beside its panel: the nearest edge.
    const int top = p.y() - screen.y(), bottom = screen.y() + screen.height() - p.y();
    const int left = p.x() - screen.x(), right = screen.x() + screen.width() - p.x();
    const int nearest = std::min({top, bottom, left, right});
    if (nearest == top) return Edge::top;
    if (nearest == bottom) return Edge::bottom;
    return nearest == left ? Edge::left : Edge::right;
}

int clampInside(int start, int length, int areaStart, int areaLength) {
    start = std::max(start, areaStart + 4);
    return std::min(start, areaStart + areaLength - length - 4);
}

} // namespace

AnchoredFrame atPoint(QSize size, QPoint p, const QRect& screen, const QRect& area) {
    const int w = size.width(), h = size.height();
    const int areaRight = area.x() + area.width(), areaBottom = area.y() + area.height();
    const int alongX = clampInside(p.x() - w / 2, w, area.x(), area.width());
    const int alongY = clampInside(p.y() - h / 2, h, area.y(), area.height());
    switch (edgeAt(p, screen, area)) {
    case Edge::top:
        return {QRect(alongX, std::min(std::max(p.y(), area.y()) + 2, areaBottom - h), w, h), true};
    case Edge::bottom: {
        const int bottom = std::min(p.y(), areaBottom) - 2;
        return {QRect(alongX, std::max(bottom - h, area.y()), w, h), false};
    }
    case Edge::left:
        return {QRect(std::min(std::max(p.x(), area.x()) + 2, areaRight - w), alongY, w, h), true};
    case Edge::right:
        return {QRect(std::max(std::min(p.x(), areaRight) - 2 - w, area.x()), alongY, w, h), true};
    }
    return {};
}

QRect centred(QSize size, const QRect& area) {
    return QRect(area.x() + (area.width() - size.width()) / 2,
                 area.y() + (area.height() - size.height()) / 2, size.width(), size.height());
}

QRect resized(const QRect& current, QSize size, bool hangsFromTop) {
    if (hangsFromTop) return QRect(current.topLeft(), size);
    const int bottom = current.y() + current.height();
    return QRect(current.x(), bottom - size.height(), size.width(), size.height());
}

} // namespace voxlane::PanelPlacement
