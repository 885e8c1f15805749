// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <optional>

namespace voxlane::PanelPlacement {

// Where the drop-down panel of `size` goes, in screen coordinates (y grows downwards).
//
// Under the tray item (`anchor`, its rectangle on the screen whose available area is
// `available`): centred under it, at least 4 pixels inside the available area on the left and
// then on the right (the right bound wins when the panel is wider than the area), its top edge
// 2 pixels below the item. A tray item in the lower half of the area (a panel at the bottom of
// the screen) gets the panel above it instead, its bottom edge 2 pixels above the item.
//
// Without a usable anchor: the top-right corner of `available`, 8 pixels from its right edge
// and 2 pixels below its top.
QRect frame(QSize size, const std::optional<QRect>& anchor, const QRect& available);

// Where the panel goes when the tray host reports the point of the click (a StatusNotifierItem's
// Activate): next to the desktop's panel that the point lies on, told by which edge of `screen`
// lies outside `available` at the point (else by the nearest edge of the screen). Below the
// point for a panel at the top, above it for one at the bottom (its bottom edge 2 pixels above),
// beside it for one on the left or the right (vertically centred on the point); centred on the
// point along the panel, and at least 4 pixels inside `available`.
struct AnchoredFrame {
    QRect frame;
    bool hangsFromTop = true; // false: stands on its bottom edge (a panel at the bottom)
};
AnchoredFrame atPoint(QSize size, QPoint point, const QRect& screen, const QRect& available);

// The frame of a panel that cannot be placed next to anything (Wayland without XWayland): the
// middle of `available`.
QRect centred(QSize size, const QRect& available);

// The frame after the content asked for `size` while the panel stood at `current`: the left
// edge stays, and so does the edge it hangs from (the top, or the bottom when it stands above
// a tray item at the bottom of the screen).
QRect resized(const QRect& current, QSize size, bool hangsFromTop = true);

} // namespace voxlane::PanelPlacement
