// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QRectF>
#include <string_view>

class QPainter;

namespace voxlane::WindowSymbols {

// Draws the symbols of the device and first-run windows ("circle-slash", "circle-dashed",
// "lines-horizontal", "waveform", "exclamation-mark", "phone-waveform") and every symbol
// Symbols::draw knows, centred in `box` in `color`.
void draw(QPainter& painter, std::string_view name, const QRectF& box, const QColor& color);

// Whether `name` is one of the symbols drawn here rather than by Symbols::draw.
bool ownSymbol(std::string_view name);

} // namespace voxlane::WindowSymbols
