// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QEasingCurve>
#include <QObject>
#include <functional>

class QPropertyAnimation;
class QWidget;

namespace voxlane {

// Fades a top-level window's opacity. A new fade stops the one in progress, whose completion
// then never runs, so a window fading out can be faded back in before it is taken away.
class WindowFade : public QObject {
    Q_OBJECT
public:
    explicit WindowFade(QWidget* window);

    // Fades from the current opacity to `opacity` over `seconds`; `done` runs when it arrives.
    void fadeTo(qreal opacity, double seconds, QEasingCurve easing = QEasingCurve::Linear,
                std::function<void()> done = {});
    // Sets the opacity at once, stopping any fade (its completion does not run).
    void set(qreal opacity);
    // Jumps a running fade to its end and runs its completion.
    void finish();

    bool isRunning() const;
    qreal target() const { return target_; }
    // Fades started so far.
    int count() const { return count_; }

private:
    QWidget* window_;
    QPropertyAnimation* animation_;
    std::function<void()> done_;
    qreal target_ = 1;
    int count_ = 0;
};

} // namespace voxlane
