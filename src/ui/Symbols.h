#pragma once

#include <QColor>
#include <QRectF>
#include <string_view>

class QPainter;

namespace voxlane::Symbols {

// Draws the named symbol ("speaker.wave.3.fill", "headphones", "mic.slash.fill", …) centred in
// `box`, sized like a glyph of box.height() pixels, in `color`. Unknown names draw a small dot.
void draw(QPainter& painter, std::string_view name, const QRectF& box, const QColor& color);

// Whether `name` has a drawing of its own.
bool known(std::string_view name);

} // namespace voxlane::Symbols
