// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TransitionEffect.h"

#include <QPainter>
#include <QVariantAnimation>
#include <QWidget>

namespace voxlane {

TransitionEffect::TransitionEffect(QObject* parent) : QGraphicsEffect(parent) {}

void TransitionEffect::setLook(qreal opacity, bool grey) {
    if (opacity == opacity_ && grey == grey_) return;
    opacity_ = opacity;
    grey_ = grey;
    update();
}

void TransitionEffect::enter(const Transition& t, std::function<void()> finished) {
    if (animation_) {
        animation_->disconnect(this);
        delete animation_;
    }
    entering_ = t;
    progress_ = 0;
    animation_ = t.animate(this, 0.0, 1.0);
    connect(animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        progress_ = v.toReal();
        update();
    });
    // Not from inside the animation's own signal: `finished` may delete this effect.
    connect(
        animation_, &QVariantAnimation::finished, this,
        [this, finished = std::move(finished)] {
            animation_->deleteLater();
            animation_ = nullptr;
            entering_.reset();
            progress_ = 1;
            update();
            if (finished) finished();
        },
        Qt::QueuedConnection);
    animation_->start();
}

void TransitionEffect::enterChild(QWidget* owner, QWidget* child, const Transition& t) {
    forgetChild(child);
    owner_ = owner;
    auto* animation = t.animate(this, 0.0, 1.0);
    children_.push_back({child, t, animation, 0});
    connect(animation, &QVariantAnimation::valueChanged, this,
            [this, animation](const QVariant& v) {
                for (auto& c : children_)
                    if (c.animation == animation) c.progress = v.toReal();
                update();
            });
    connect(
        animation, &QVariantAnimation::finished, this,
        [this, animation] {
            for (auto it = children_.begin(); it != children_.end(); ++it) {
                if (it->animation == animation) {
                    children_.erase(it);
                    break;
                }
            }
            animation->deleteLater();
            update();
        },
        Qt::QueuedConnection);
    animation->start();
    update();
}

void TransitionEffect::forgetChild(const QWidget* child) {
    for (auto it = children_.begin(); it != children_.end(); ++it) {
        if (it->view == child) {
            it->animation->disconnect(this);
            it->animation->deleteLater();
            children_.erase(it);
            update();
            return;
        }
    }
}

QVariantAnimation* TransitionEffect::childAnimation(const QWidget* child) const {
    for (const auto& c : children_)
        if (c.view == child) return c.animation;
    return nullptr;
}

QPixmap TransitionEffect::withChildren(const QPixmap& source, QPoint offset) const {
    const qreal dpr = source.devicePixelRatio();
    QPixmap out(source.size());
    out.setDevicePixelRatio(dpr);
    out.fill(Qt::transparent);
    QPainter p(&out);
    QRegion rest(QRect(QPoint(0, 0), source.deviceIndependentSize().toSize()));
    std::vector<std::pair<const EnteringChild*, QRect>> places;
    for (const auto& c : children_) {
        if (!c.view || !owner_ || !owner_->isAncestorOf(c.view)) continue;
        const QRect place =
            QRect(c.view->mapTo(owner_.data(), QPoint(0, 0)), c.view->size()).translated(-offset);
        rest -= place;
        places.emplace_back(&c, place);
    }
    p.setClipRegion(rest);
    p.drawPixmap(0, 0, source);
    p.setClipping(false);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const auto& [child, place] : places) {
        QPixmap part = source.copy(
            QRectF(QPointF(place.topLeft()) * dpr, QSizeF(place.size()) * dpr).toAlignedRect());
        part.setDevicePixelRatio(dpr);
        child->transition.draw(p, child->progress, QRectF(place), QPointF(place.topLeft()), part);
    }
    return out;
}

void TransitionEffect::draw(QPainter* painter) {
    if (!entering_ && children_.empty() && opacity_ >= 1.0 && !grey_) {
        drawSource(painter);
        return;
    }
    QPoint offset;
    QPixmap pixmap = sourcePixmap(Qt::LogicalCoordinates, &offset);
    if (!children_.empty()) pixmap = withChildren(pixmap, offset);
    if (grey_) {
        QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int g = qGray(line[x]); // premultiplied stays premultiplied
                line[x] = qRgba(g, g, g, qAlpha(line[x]));
            }
        }
        pixmap = QPixmap::fromImage(std::move(image));
    }
    painter->save();
    painter->setOpacity(painter->opacity() * opacity_);
    const QRectF bounds = sourceBoundingRect(Qt::LogicalCoordinates);
    if (entering_)
        entering_->draw(*painter, progress_, bounds, offset, pixmap);
    else
        painter->drawPixmap(offset, pixmap);
    painter->restore();
}

} // namespace voxlane
