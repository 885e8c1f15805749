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

// The frame after the content asked for `size` while the panel stood at `current`: the left
// edge stays, and so does the edge it hangs from (the top, or the bottom when it stands above
// a tray item at the bottom of the screen).
QRect resized(const QRect& current, QSize size, bool hangsFromTop = true);

} // namespace voxlane::PanelPlacement
