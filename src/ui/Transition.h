// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Theme.h"

#include <QPixmap>
#include <Qt>

class QObject;
class QPainter;
class QVariantAnimation;
class QWidget;

namespace voxlane {

// How a view enters and leaves: a fade combined with a scale from `scale` about `anchor` (the
// centre, or the middle of the top edge), over the time of `spring`.
//
// The view's visibility changes at once, so that isVisible() always tells what the view shows;
// only the drawing follows. An entering view is drawn through an effect that fades and grows it
// in; a leaving view is hidden at once and a snapshot of it fades and shrinks where it stood. A
// view whose window is not on screen simply appears or disappears.
struct Transition {
    qreal scale;
    Qt::Alignment anchor;
    Theme::Spring spring;

    // The panel's conditional modules: to 0.9 about the centre.
    static const Transition module;
    // The app rows: to 0.97 anchored at the top.
    static const Transition row;
    // Small marks that only fade.
    static const Transition fade;

    // Shows or hides `view` with this transition; a view already shown is left as it is. A view
    // that draws through a TransitionEffect of its own enters through it; one inside a view drawn
    // through a TransitionEffect is drawn entering by that effect (effects do not nest). Where
    // another kind of graphics effect is in the way, the view appears at once (it still leaves
    // with the transition).
    void setVisible(QWidget* view, bool visible) const;

    // Draws `pixmap` at `origin` within `bounds` as far as the transition has come in at
    // `progress` (0 gone, 1 fully there).
    void draw(QPainter& painter, qreal progress, const QRectF& bounds, const QPointF& origin,
              const QPixmap& pixmap) const;
    // An animation of the progress from `from` to `to` over the transition's time and curve.
    QVariantAnimation* animate(QObject* parent, qreal from, qreal to) const;

    // The animation drawing `view` entering, or its snapshot leaving, while one runs.
    static QVariantAnimation* running(const QWidget* view);
};

} // namespace voxlane
