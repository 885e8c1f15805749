// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ElidedLabel.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>
#include <cmath>

namespace voxlane {

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QString ElidedLabel::elided(const QString& text, const QFontMetricsF& metrics, qreal width) {
    // Half a pixel of slack: a width measured as the text's own must not cut it.
    if (metrics.horizontalAdvance(text) <= width + 0.5) return text;
    return metrics.elidedText(text, Qt::ElideRight, std::max(0.0, width));
}

QString ElidedLabel::shownText() const {
    return elided(text(), QFontMetricsF(font()), contentsRect().width());
}

QSize ElidedLabel::minimumSizeHint() const {
    const QFontMetricsF metrics(font());
    const QMargins m = contentsMargins();
    return {int(std::ceil(metrics.horizontalAdvance(QStringLiteral("\u2026")))) + m.left() +
                m.right(),
            QLabel::minimumSizeHint().height()};
}

bool ElidedLabel::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip && isElided()) {
        QToolTip::showText(static_cast<QHelpEvent*>(e)->globalPos(), text(), this);
        return true;
    }
    return QLabel::event(e);
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    p.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    p.drawText(contentsRect(), int(alignment()) | Qt::TextSingleLine, shownText());
}

} // namespace voxlane
