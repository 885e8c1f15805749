// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Animated.h"

#include <QVariantAnimation>
#include <QWidget>

namespace voxlane {

Animated::Animated(QWidget* view, qreal initial)
    : QObject(view), view_(view), animation_(new QVariantAnimation(this)), value_(initial),
      target_(initial) {
    connect(animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        value_ = v.toReal();
        view_->update();
    });
    connect(animation_, &QVariantAnimation::finished, this, &Animated::settled);
}

QVariantAnimation* Animated::animation() const {
    return animation_->state() == QAbstractAnimation::Running ? animation_ : nullptr;
}

void Animated::springTo(qreal target, const Theme::Spring& spring) {
    start(target, Theme::durationMs(spring), Theme::easing(spring));
}

void Animated::linearTo(qreal target, int milliseconds) {
    start(target, milliseconds, QEasingCurve(QEasingCurve::Linear));
}

void Animated::jumpTo(qreal target) {
    animation_->stop();
    target_ = value_ = target;
    view_->update();
    emit settled();
}

void Animated::start(qreal target, int milliseconds, const QEasingCurve& easing) {
    if (target == target_ && animation_->state() == QAbstractAnimation::Running) return;
    if (!view_->isVisible() || milliseconds <= 0) {
        jumpTo(target);
        return;
    }
    animation_->stop();
    target_ = target;
    animation_->setStartValue(value_);
    animation_->setEndValue(target);
    animation_->setDuration(milliseconds);
    animation_->setEasingCurve(easing);
    animation_->start();
}

} // namespace voxlane
