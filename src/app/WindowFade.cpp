// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WindowFade.h"

#include <QPropertyAnimation>
#include <QWidget>

namespace voxlane {

WindowFade::WindowFade(QWidget* window)
    : QObject(window), window_(window),
      animation_(new QPropertyAnimation(window, "windowOpacity", this)) {
    connect(animation_, &QPropertyAnimation::finished, this, [this] {
        auto done = std::move(done_);
        done_ = nullptr;
        if (done) done();
    });
}

void WindowFade::fadeTo(qreal opacity, double seconds, QEasingCurve easing,
                        std::function<void()> done) {
    animation_->stop();
    ++count_;
    target_ = opacity;
    done_ = std::move(done);
    animation_->setStartValue(window_->windowOpacity());
    animation_->setEndValue(opacity);
    animation_->setDuration(int(seconds * 1000));
    animation_->setEasingCurve(easing);
    animation_->start();
}

void WindowFade::set(qreal opacity) {
    animation_->stop();
    done_ = nullptr;
    target_ = opacity;
    window_->setWindowOpacity(opacity);
}

void WindowFade::finish() {
    if (animation_->state() != QAbstractAnimation::Running) return;
    animation_->setCurrentTime(animation_->duration()); // ends the animation: `finished` runs
}

bool WindowFade::isRunning() const {
    return animation_->state() == QAbstractAnimation::Running;
}

} // namespace voxlane
