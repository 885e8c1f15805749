// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Theme.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace voxlane::Theme {

QColor boost() {
    static const QColor c = QColor::fromRgbF(1.0f, 0.62f, 0.22f, 1.0f);
    return c;
}

QColor live() {
    static const QColor c = QColor::fromRgbF(0.3f, 0.85f, 0.47f);
    return c;
}

QColor danger() {
    static const QColor c = QColor::fromRgbF(1.0f, 0.36f, 0.33f);
    return c;
}

QColor primary(qreal opacity) {
    QColor c(255, 255, 255);
    c.setAlphaF(static_cast<float>(std::clamp(opacity, 0.0, 1.0)));
    return c;
}

QColor secondary() {
    return primary(0.55);
}

QColor tertiary() {
    return primary(0.28);
}

QFont systemFont(qreal pixels, QFont::Weight weight) {
    QFont font = QGuiApplication::font();
    // Qt works in points of 1/72 inch at a logical 96 dpi: 0.75 points to the pixel.
    font.setPointSizeF(pixels * 0.75);
    font.setWeight(weight);
    return font;
}

QFont title() {
    static const QFont f = systemFont(13, QFont::DemiBold);
    return f;
}

QFont name() {
    static const QFont f = systemFont(12.5, QFont::Medium);
    return f;
}

QFont detail() {
    static const QFont f = systemFont(11, QFont::Normal);
    return f;
}

QFont value() {
    // Digits of equal width keep a changing percentage still. Qt 6.4 cannot ask a face for
    // tabular figures; the sans faces the panel uses (DejaVu Sans and its kin) have them anyway.
    static const QFont f = systemFont(11, QFont::Medium);
    return f;
}

double springProgress(const Spring& spring, double t) {
    const double omega = 2 * std::numbers::pi / spring.response;
    const double zeta = std::clamp(spring.dampingFraction, 0.01, 0.999);
    const double damped = omega * std::sqrt(1 - zeta * zeta);
    const double decay = std::exp(-zeta * omega * t);
    return 1 - decay * (std::cos(damped * t) + zeta * omega / damped * std::sin(damped * t));
}

namespace {
bool motionReduced = false;
} // namespace

void setReducedMotion(bool reduced) {
    motionReduced = reduced;
}

bool reducedMotion() {
    return motionReduced;
}

int durationMs(const Spring& spring) {
    if (motionReduced) return 0;
    const double omega = 2 * std::numbers::pi / spring.response;
    // e^(−ζωt) < 0.001
    return static_cast<int>(std::ceil(6.9 / (spring.dampingFraction * omega) * 1000));
}

namespace {

template <const Spring& S>
qreal springCurve(qreal progress) {
    if (progress >= 1) return 1;
    return springProgress(S, progress * durationMs(S) / 1000.0);
}

} // namespace

QEasingCurve easing(const Spring& spring) {
    QEasingCurve curve;
    if (&spring == &hover)
        curve.setCustomType(&springCurve<hover>);
    else if (&spring == &snappy)
        curve.setCustomType(&springCurve<snappy>);
    else
        curve.setType(QEasingCurve::OutCubic);
    return curve;
}

QVariantAnimation* springAnimation(QObject* parent, const Spring& spring, qreal from, qreal to) {
    auto* animation = new QVariantAnimation(parent);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->setDuration(durationMs(spring));
    animation->setEasingCurve(easing(spring));
    return animation;
}

void glassModule(QPainter& painter, const QPainterPath& shape, bool interactive, bool highlighted) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = shape.boundingRect();
    // Ultra-thin material on a dark desktop: mostly see-through, a faint sheen towards the top.
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    const int lift = interactive && highlighted ? 10 : 0;
    fill.setColorAt(0, QColor(58 + lift, 58 + lift, 64 + lift, 196));
    fill.setColorAt(1, QColor(38 + lift, 38 + lift, 44 + lift, 210));
    painter.fillPath(shape, fill);
    painter.setPen(QPen(primary(0.12), 1));
    painter.setBrush(Qt::NoBrush);
    // The outline runs half a pixel inside the shape so that all of it is seen.
    const QPainterPath inner = [&] {
        QTransform t;
        t.translate(r.center().x(), r.center().y());
        t.scale((r.width() - 1) / std::max(r.width(), 1.0),
                (r.height() - 1) / std::max(r.height(), 1.0));
        t.translate(-r.center().x(), -r.center().y());
        return t.map(shape);
    }();
    painter.drawPath(inner);
    painter.restore();
}

} // namespace voxlane::Theme
