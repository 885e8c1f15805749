// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Switch.h"

#include "ui/Animated.h"
#include "ui/FocusRing.h"
#include "ui/Theme.h"

#include <QPainter>

namespace voxlane {

Switch::Switch(const QString& accessibleName, QWidget* parent)
    : QAbstractButton(parent), knob_(new Animated(this, 0)) {
    setCheckable(true);
    setFixedSize(sizeHint());
    setFocusPolicy(Qt::TabFocus);
    FocusRing::follow(this);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(accessibleName);
    connect(this, &QAbstractButton::toggled, this,
            [this](bool on) { knob_->springTo(on ? 1 : 0, Theme::snappy); });
}

void Switch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal t = std::clamp(knob_->value(), 0.0, 1.0);
    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor off = Theme::primary(0.16);
    QColor on = Theme::live();
    QColor fill = QColor::fromRgbF(off.redF() + (on.redF() - off.redF()) * t,
                                   off.greenF() + (on.greenF() - off.greenF()) * t,
                                   off.blueF() + (on.blueF() - off.blueF()) * t,
                                   off.alphaF() + (on.alphaF() - off.alphaF()) * t);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(track, track.height() / 2, track.height() / 2);
    const qreal d = track.height() - 4;
    const qreal x = track.left() + 2 + (track.width() - 4 - d) * t;
    p.setBrush(isEnabled() ? QColor(Qt::white) : Theme::primary(0.5));
    p.drawEllipse(QRectF(x, track.top() + 2, d, d));
    if (FocusRing::shown(this)) FocusRing::draw(p, QRectF(rect()), height() / 2.0);
}

} // namespace voxlane
