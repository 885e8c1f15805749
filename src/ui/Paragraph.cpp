// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Paragraph.h"

#include <QPainter>
#include <QTextLayout>

namespace voxlane {

namespace {

constexpr int flags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;

} // namespace

Paragraph::Paragraph(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

QStringList Paragraph::lines(const QString& text, const QFont& font, int width) {
    QStringList result;
    for (const QString& paragraph : text.split('\n')) {
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(std::max(1, width));
            result << paragraph.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
    }
    return result;
}

int Paragraph::lineCount(const QString& text, const QFont& font, int width) {
    return int(lines(text, font, width).size());
}

int Paragraph::measure(const QString& text, const QFont& font, int width) {
    const auto alone = [](const QStringList& lines) {
        return lines.size() > 1 && !lines.back().contains(' ');
    };
    const QStringList full = lines(text, font, width);
    if (!alone(full)) return width;
    for (int w = width - 2; w >= width / 2; w -= 2) {
        const QStringList set = lines(text, font, w);
        if (set.size() > full.size()) break;
        if (!alone(set)) return w;
    }
    return width;
}

int Paragraph::measureNow() const {
    const int width = contentsRect().width();
    if (width != measuredWidth_ || text() != measuredText_) {
        measuredWidth_ = width;
        measuredText_ = text();
        measure_ = measure(text(), font(), width);
    }
    return measure_;
}

QStringList Paragraph::shownLines() const {
    return lines(text(), font(), measureNow());
}

void Paragraph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    p.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    const QRect area = contentsRect();
    const int width = measureNow();
    p.drawText(QRect(area.left(), area.top(), width, area.height()), flags, text());
}

} // namespace voxlane
