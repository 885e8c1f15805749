// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <string_view>

class QLabel;
class QPainter;
class QWidget;

namespace voxlane::WindowText {

// A label in `font` and `color`, plain text, on a transparent background; in one of the theme's
// inks it follows the theme.
QLabel* label(const QString& text, const QFont& font, const QColor& color);
// The same for a paragraph that wraps evenly (see Paragraph).
QLabel* paragraph(const QString& text, const QFont& font, const QColor& color);

inline QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// The surface (dark or light with the theme) behind the content of the device and first-run
// windows.
void paintWindowBackground(QPainter& painter, const QWidget& window);

} // namespace voxlane::WindowText
