#include "ui/Transition.h"

#include <QGraphicsEffect>
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

// Draws `pixmap` at `origin` within `bounds` as far as `progress` has come in (0 gone, 1 fully
// there): the opacity follows the progress, the scale runs from the transition's to 1.
void drawStep(QPainter& p, const Transition& t, qreal progress, const QRectF& bounds,
              const QPointF& origin, const QPixmap& pixmap) {
    const qreal shown = std::clamp(progress, 0.0, 1.0);
    const qreal scale = t.scale + (1.0 - t.scale) * shown;
    const QPointF anchor =
        (t.anchor & Qt::AlignTop) ? QPointF(bounds.center().x(), bounds.top()) : bounds.center();
    p.save();
    p.setOpacity(p.opacity() * shown);
    p.translate(anchor);
    p.scale(scale, scale);
    p.translate(-anchor);
    p.drawPixmap(origin, pixmap);
    p.restore();
}

QVariantAnimation* makeAnimation(QObject* parent, const Transition& t, qreal from, qreal to) {
    auto* animation = new QVariantAnimation(parent);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->setDuration(Theme::durationMs(t.spring));
    animation->setEasingCurve(Theme::easing(t.spring));
    return animation;
}

// Draws an entering view faded and scaled after its animation.
class EnterEffect : public QGraphicsEffect {
public:
    EnterEffect(QWidget* view, const Transition& t) : transition_(t) {
        animation_ = makeAnimation(this, t, 0.0, 1.0);
        QObject::connect(animation_, &QVariantAnimation::valueChanged, this,
                         [this](const QVariant& v) {
                             progress_ = v.toReal();
                             update();
                         });
        // The effect goes once the view is fully in; not from inside the animation's own signal.
        QPointer<QWidget> guard(view);
        QObject::connect(
            animation_, &QVariantAnimation::finished, this,
            [this, guard] {
                if (guard && guard->graphicsEffect() == this) guard->setGraphicsEffect(nullptr);
            },
            Qt::QueuedConnection);
    }

    QVariantAnimation* animation() const { return animation_; }

protected:
    void draw(QPainter* painter) override {
        QPoint offset;
        const QPixmap pixmap = sourcePixmap(Qt::LogicalCoordinates, &offset);
        drawStep(*painter, transition_, progress_, sourceBoundingRect(Qt::LogicalCoordinates),
                 offset, pixmap);
    }

private:
    Transition transition_;
    QVariantAnimation* animation_;
    qreal progress_ = 0;
};

// The snapshot of a leaving view, fading and shrinking where the view stood, then gone.
class Ghost : public QWidget {
public:
    Ghost(QWidget* view, const Transition& t)
        : QWidget(view->parentWidget()), transition_(t), pixmap_(view->grab()) {
        setProperty(ghostOf, QVariant::fromValue(reinterpret_cast<quintptr>(view)));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_TranslucentBackground);
        setGeometry(view->geometry());
        animation_ = makeAnimation(this, t, 1.0, 0.0);
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
        drawStep(p, transition_, progress_, QRectF(rect()), QPointF(0, 0), pixmap_);
    }

private:
    Transition transition_;
    QPixmap pixmap_;
    QVariantAnimation* animation_;
    qreal progress_ = 1;
};

Ghost* ghostOfView(const QWidget* view) {
    if (!view->parentWidget()) return nullptr;
    const auto key = QVariant::fromValue(reinterpret_cast<quintptr>(view));
    for (QObject* child : view->parentWidget()->children())
        if (auto* ghost = dynamic_cast<Ghost*>(child); ghost && ghost->property(ghostOf) == key)
            return ghost;
    return nullptr;
}

} // namespace

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
        if (dynamic_cast<EnterEffect*>(view->graphicsEffect())) view->setGraphicsEffect(nullptr);
        view->hide();
        return;
    }
    if (!view->isHidden()) return;
    if (Ghost* ghost = ghostOfView(view)) ghost->deleteLater();
    // A view that draws through an effect of its own keeps it and simply appears.
    if (onScreen && !view->graphicsEffect()) {
        auto* effect = new EnterEffect(view, *this);
        view->setGraphicsEffect(effect);
        effect->animation()->start();
    }
    view->show();
}

QVariantAnimation* Transition::running(const QWidget* view) {
    if (auto* effect = dynamic_cast<EnterEffect*>(view->graphicsEffect()))
        return effect->animation();
    if (Ghost* ghost = ghostOfView(view)) return ghost->animation();
    return nullptr;
}

} // namespace voxlane
