// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ToggleCircle.h"

#include "ui/Animated.h"
#include "ui/FocusRing.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QPainter>
#include <algorithm>

namespace voxlane {

namespace {

QColor mix(const QColor& a, const QColor& b, qreal t) {
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t),
                            float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

} // namespace

ToggleCircle::ToggleCircle(const QString& symbol, const QColor& onTint, int diameter,
                           QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol), onTint_(onTint), diameter_(diameter),
      progress_(new Animated(this, 0)) {
    setFixedSize(diameter, diameter);
    setFocusPolicy(Qt::TabFocus);
    FocusRing::follow(this);
}

void ToggleCircle::setSymbol(const QString& symbol) {
    symbol_ = symbol;
    update();
}

void ToggleCircle::setOn(bool on) {
    if (on == on_) return;
    on_ = on;
    progress_->springTo(on ? 1 : 0, Theme::snappy);
}

void ToggleCircle::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal t = progress_->value();
    const QRectF r = QRectF(rect());
    p.setPen(Qt::NoPen);
    p.setBrush(mix(Theme::primary(0.12), onTint_, t));
    p.drawEllipse(r);
    const QRectF glyph(r.center().x() - 7, r.center().y() - 7, 14, 14);
    Symbols::draw(p, symbol_.toStdString(), glyph, mix(Theme::primary(0.9), Qt::white, t));
    if (FocusRing::shown(this)) FocusRing::draw(p, r, r.height() / 2);
}

} // namespace voxlane
