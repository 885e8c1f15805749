// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Transition.h"

#include "ui/TransitionEffect.h"

#include <QPainter>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>
#include <algorithm>

namespace voxlane {

const Transition Transition::module{0.9, Qt::AlignCenter, Theme::snappy};
const Transition Transition::row{0.97, Qt::AlignTop | Qt::AlignHCenter, Theme::snappy};
const Transition Transition::fade{1.0, Qt::AlignCenter, Theme::hover};

namespace {

const char* const ghostOf = "voxlaneTransitionGhostOf";
const char* const temporaryEffect = "voxlaneTransitionTemporary";

// The snapshot of a leaving view, fading and shrinking where the view stood, then gone.
class Ghost : public QWidget {
public:
    Ghost(QWidget* view, const Transition& t)
        : QWidget(view->parentWidget()), transition_(t), pixmap_(view->grab()) {
        setProperty(ghostOf, QVariant::fromValue(reinterpret_cast<quintptr>(view)));
        // A new view may come to live at the address of one that is gone.
        connect(view, &QObject::destroyed, this, [this] { setProperty(ghostOf, QVariant()); });
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_TranslucentBackground);
        setGeometry(view->geometry());
        animation_ = t.animate(this, 1.0, 0.0);
        connect(animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
            progress_ = v.toReal();
            update();
        });
        connect(animation_, &QVariantAnimation::finished, this, &QObject::deleteLater);
    }

    QVariantAnimation* animation() const { return animation_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        transition_.draw(p, progress_, QRectF(rect()), QPointF(0, 0), pixmap_);
    }

private:
    Transition transition_;
    QPixmap pixmap_;
    QVariantAnimation* animation_;
    qreal progress_ = 1;
};

// The nearest view above `view` that is drawn through an effect, if any.
QWidget* drawnThroughEffectAbove(const QWidget* view) {
    for (QWidget* w = view->parentWidget(); w; w = w->parentWidget())
        if (w->graphicsEffect()) return w;
    return nullptr;
}

// Whether a view inside `view` is drawn through an effect of its own.
bool effectsInside(const QWidget* view) {
    const auto inside = view->findChildren<QWidget*>();
    return std::ranges::any_of(inside, [](const QWidget* w) { return w->graphicsEffect(); });
}

Ghost* ghostOfView(const QWidget* view) {
    if (!view->parentWidget()) return nullptr;
    const auto key = QVariant::fromValue(reinterpret_cast<quintptr>(view));
    for (QObject* child : view->parentWidget()->children())
        if (auto* ghost = dynamic_cast<Ghost*>(child); ghost && ghost->property(ghostOf) == key)
            return ghost;
    return nullptr;
}

} // namespace

void Transition::draw(QPainter& p, qreal progress, const QRectF& bounds, const QPointF& origin,
                      const QPixmap& pixmap) const {
    const qreal shown = std::clamp(progress, 0.0, 1.0);
    const qreal s = scale + (1.0 - scale) * shown;
    const QPointF at =
        (anchor & Qt::AlignTop) ? QPointF(bounds.center().x(), bounds.top()) : bounds.center();
    p.save();
    p.setOpacity(p.opacity() * shown);
    p.translate(at);
    p.scale(s, s);
    p.translate(-at);
    p.drawPixmap(origin, pixmap);
    p.restore();
}

QVariantAnimation* Transition::animate(QObject* parent, qreal from, qreal to) const {
    return Theme::springAnimation(parent, spring, from, to);
}

void Transition::setVisible(QWidget* view, bool visible) const {
    QWidget* parent = view->parentWidget();
    const bool onScreen = parent && parent->isVisible() && Theme::durationMs(spring) > 0;
    if (!visible) {
        if (onScreen && view->isVisible() && !view->size().isEmpty() && !ghostOfView(view)) {
            auto* ghost = new Ghost(view, *this);
            ghost->show();
            ghost->raise();
            ghost->animation()->start();
        }
        if (auto* effect = view->graphicsEffect();
            effect && effect->property(temporaryEffect).toBool())
            view->setGraphicsEffect(nullptr);
        if (QWidget* outer = drawnThroughEffectAbove(view))
            if (auto* effect = dynamic_cast<TransitionEffect*>(outer->graphicsEffect()))
                effect->forgetChild(view);
        view->hide();
        return;
    }
    if (!view->isHidden()) return;
    if (Ghost* ghost = ghostOfView(view)) ghost->deleteLater();
    if (onScreen) {
        QWidget* outer = drawnThroughEffectAbove(view);
        if (auto* own = dynamic_cast<TransitionEffect*>(view->graphicsEffect())) {
            own->enter(*this);
        } else if (outer) {
            // Effects do not nest: the outer one draws the view entering (any other kind of
            // effect above cannot, and the view appears at once).
            if (!view->graphicsEffect())
                if (auto* effect = dynamic_cast<TransitionEffect*>(outer->graphicsEffect()))
                    effect->enterChild(outer, view, *this);
        } else if (!view->graphicsEffect() && !effectsInside(view)) {
            // A temporary effect, gone once the view is fully in.
            auto* effect = new TransitionEffect;
            view->setGraphicsEffect(effect);
            effect->setProperty(temporaryEffect, true);
            QPointer<QWidget> guard(view);
            effect->enter(*this, [guard, effect] {
                if (guard && guard->graphicsEffect() == effect) guard->setGraphicsEffect(nullptr);
            });
        }
    }
    view->show();
}

QVariantAnimation* Transition::running(const QWidget* view) {
    if (auto* effect = dynamic_cast<TransitionEffect*>(view->graphicsEffect());
        effect && effect->animation())
        return effect->animation();
    if (Ghost* ghost = ghostOfView(view)) return ghost->animation();
    if (QWidget* outer = drawnThroughEffectAbove(view))
        if (auto* effect = dynamic_cast<TransitionEffect*>(outer->graphicsEffect()))
            return effect->childAnimation(view);
    return nullptr;
}

} // namespace voxlane
