// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

namespace voxlane::Contrast {

// Relative luminance of a colour's sRGB components (its alpha ignored), 0 for black to 1 for
// white, as the WCAG defines it.
double luminance(const QColor& color);
// The contrast ratio of two opaque colours, 1 (none) to 21 (black on white), either order.
double ratio(const QColor& a, const QColor& b);
// `top` painted over `bottom` (source over, in the sRGB values as QPainter blends them).
QColor over(const QColor& top, const QColor& bottom);
// The ratio of `ink` (often translucent) drawn over the opaque `surface`, against the surface.
double inkRatio(const QColor& ink, const QColor& surface);

} // namespace voxlane::Contrast
