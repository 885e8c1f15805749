// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Transition.h"

#include <QGraphicsEffect>
#include <functional>
#include <optional>

class QVariantAnimation;

namespace voxlane {

// The effect a view is drawn through while it enters with a transition: faded and scaled as far
// as the transition has come. A widget carries one effect at most, so a view that needs a look of
// its own at rest (dimmed, grey) gets it from this effect too and can still enter with a
// transition. At rest, with the plain look, the view is drawn untouched.
class TransitionEffect : public QGraphicsEffect {
public:
    explicit TransitionEffect(QObject* parent = nullptr);

    // The look at rest: the opacity, and whether the view is drawn in greys.
    void setLook(qreal opacity, bool grey);
    qreal opacity() const { return opacity_; }
    bool grey() const { return grey_; }

    // Starts drawing the view entering with `t`; `finished` runs once it is fully in.
    void enter(const Transition& t, std::function<void()> finished = {});
    // The animation while the view enters, else null.
    QVariantAnimation* animation() const { return animation_; }

protected:
    void draw(QPainter* painter) override;

private:
    std::optional<Transition> entering_;
    QVariantAnimation* animation_ = nullptr;
    qreal progress_ = 1;
    qreal opacity_ = 1;
    bool grey_ = false;
};

} // namespace voxlane
