// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/CapsuleButton.h"

#include "ui/FocusRing.h"
#include "ui/Theme.h"

#include <QFontMetrics>
#include <QPainter>

namespace voxlane {
namespace {

QFont buttonFont() {
    return Theme::systemFont(11, QFont::DemiBold);
}

} // namespace

CapsuleButton::CapsuleButton(const QString& title, QWidget* parent) : QAbstractButton(parent) {
    setText(title);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    // Reached with Tab; a click leaves the focus where it was (the button may go with it).
    setFocusPolicy(Qt::TabFocus);
    FocusRing::follow(this);
}

void CapsuleButton::setTitle(const QString& title) {
    if (title == text()) return;
    setText(title);
    updateGeometry();
    update();
}

void CapsuleButton::setBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    setEnabled(!busy);
    if (busy && !spinTimer_) spinTimer_ = startTimer(50);
    if (!busy && spinTimer_) {
        killTimer(spinTimer_);
        spinTimer_ = 0;
    }
    update();
}

QSize CapsuleButton::sizeHint() const {
    const QFontMetrics metrics(buttonFont());
    return {std::max(metrics.horizontalAdvance(text()) + 24, 44), 24};
}

void CapsuleButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (busy_) {
        const qreal d = 14;
        const QRectF arc(r.center().x() - d / 2, r.center().y() - d / 2, d, d);
        p.setPen(QPen(Theme::primary(0.8), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(arc, -angle_ * 16, 270 * 16);
        return;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::primary(hovering_ || isDown() ? 0.2 : 0.14));
    p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    p.setFont(buttonFont());
    p.setPen(Theme::primary());
    p.drawText(r, Qt::AlignCenter, text());
    if (FocusRing::shown(this)) FocusRing::draw(p, QRectF(rect()), height() / 2.0);
}

void CapsuleButton::enterEvent(QEnterEvent*) {
    hovering_ = true;
    update();
}

void CapsuleButton::leaveEvent(QEvent*) {
    hovering_ = false;
    update();
}

void CapsuleButton::timerEvent(QTimerEvent*) {
    angle_ = (angle_ + 30) % 360;
    update();
}

} // namespace voxlane
