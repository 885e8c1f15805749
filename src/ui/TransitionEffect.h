// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Transition.h"

#include <QGraphicsEffect>
#include <QPointer>
#include <functional>
#include <optional>
#include <vector>

class QVariantAnimation;

namespace voxlane {

// The effect a view is drawn through while it enters with a transition: faded and scaled as far
// as the transition has come. A widget carries one effect at most, so a view that needs a look of
// its own at rest (dimmed, grey) gets it from this effect too and can still enter with a
// transition. At rest, with the plain look, the view is drawn untouched.
//
// For the same reason a view inside one drawn through an effect cannot have an effect of its
// own (the two would paint the same pixmap at once, and the inner view would not be drawn at
// all): the outer effect draws such a view entering instead, as a part of its own drawing.
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

    // Draws `child`, a view inside `owner` (the view this effect draws), entering with `t`.
    void enterChild(QWidget* owner, QWidget* child, const Transition& t);
    // Stops drawing `child` entering (it left, or went).
    void forgetChild(const QWidget* child);
    // The animation while `child` enters, else null.
    QVariantAnimation* childAnimation(const QWidget* child) const;

protected:
    void draw(QPainter* painter) override;

private:
    struct EnteringChild {
        QPointer<QWidget> view;
        Transition transition;
        QVariantAnimation* animation;
        qreal progress = 0;
    };
    // The source with its entering children drawn as far as they have come in.
    QPixmap withChildren(const QPixmap& source, QPoint offset) const;

    QPointer<QWidget> owner_;
    std::vector<EnteringChild> children_;
    std::optional<Transition> entering_;
    QVariantAnimation* animation_ = nullptr;
    qreal progress_ = 1;
    qreal opacity_ = 1;
    bool grey_ = false;
};

} // namespace voxlane
