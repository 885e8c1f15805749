// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/WindowText.h"

#include "ui/Labels.h"
#include "ui/Paragraph.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

namespace voxlane::WindowText {

QLabel* label(const QString& text, const QFont& font, const QColor& color) {
    auto* l = new QLabel(text);
    l->setTextFormat(Qt::PlainText);
    l->setFont(font);
    Theme::setTextColor(l, color);
    return l;
}

QLabel* paragraph(const QString& text, const QFont& font, const QColor& color) {
    return makeLabel<Paragraph>(text, font, color);
}

void paintWindowBackground(QPainter& painter, const QWidget& window) {
    QLinearGradient g(0, 0, 0, window.height());
    const Theme::GlassFill fill = Theme::windowFill();
    g.setColorAt(0, fill.top);
    g.setColorAt(1, fill.bottom);
    painter.fillRect(window.rect(), g);
}

} // namespace voxlane::WindowText
