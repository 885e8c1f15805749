// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Theme.h"

#include <QObject>

class QVariantAnimation;
class QWidget;

namespace voxlane {

// One animated number of a view (a scale, an opacity, a fill position): it runs towards its
// target with a spring or linearly and repaints its view on every step. A hidden view jumps
// straight to the target, so that what is drawn first is the settled state.
class Animated : public QObject {
    Q_OBJECT
public:
    Animated(QWidget* view, qreal initial);

    qreal value() const { return value_; }
    qreal target() const { return target_; }

    void springTo(qreal target, const Theme::Spring& spring);
    void linearTo(qreal target, int milliseconds);
    void jumpTo(qreal target);
    // The animation while the number moves, else null.
    QVariantAnimation* animation() const;

signals:
    // The number reached its target (at the end of its animation, or at once by a jump).
    void settled();

private:
    void start(qreal target, int milliseconds, const QEasingCurve& easing);

    QWidget* view_;
    QVariantAnimation* animation_;
    qreal value_;
    qreal target_;
};

} // namespace voxlane
