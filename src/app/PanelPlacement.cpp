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

QRect resized(const QRect& current, QSize size, bool hangsFromTop) {
    if (hangsFromTop) return QRect(current.topLeft(), size);
    const int bottom = current.y() + current.height();
    return QRect(current.x(), bottom - size.height(), size.width(), size.height());
}

} // namespace voxlane::PanelPlacement
