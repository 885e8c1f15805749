// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/WindowText.h"

#include "ui/Paragraph.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

namespace voxlane::WindowText {

QLabel* label(const QString& text, const QFont& font, const QColor& color) {
    auto* l = new QLabel(text);
    l->setTextFormat(Qt::PlainText);
    l->setFont(font);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, color);
    l->setPalette(palette);
    return l;
}

QLabel* paragraph(const QString& text, const QFont& font, const QColor& color) {
    return makeParagraph(text, font, color);
}

void paintWindowBackground(QPainter& painter, const QWidget& window) {
    QLinearGradient g(0, 0, 0, window.height());
    g.setColorAt(0, QColor(38, 38, 44));
    g.setColorAt(1, QColor(26, 26, 31));
    painter.fillRect(window.rect(), g);
}

} // namespace voxlane::WindowText
