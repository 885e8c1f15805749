// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>
#include <string_view>

class QPainter;

namespace voxlane::Symbols {

// Draws the named symbol ("audio-volume-high", "audio-headphones", "microphone-sensitivity-muted",
// …) centred in `box`, sized like a glyph of box.height() pixels, in `color`. Unknown names draw a
// small dot.
void draw(QPainter& painter, std::string_view name, const QRectF& box, const QColor& color);

// Whether `name` has a drawing of its own.
bool known(std::string_view name);

// The freedesktop icon-theme name that stands for the symbol (a "-symbolic" icon where the
// naming standard has one); empty when the themes have nothing that fits.
const char* themeName(std::string_view name);

// The symbol as an icon of `size` pixels: the icon theme's icon when `preferTheme` is set and
// the current theme has it, else our own drawing in `color`.
QIcon icon(std::string_view name, const QColor& color, int size = 16, bool preferTheme = false);

} // namespace voxlane::Symbols
