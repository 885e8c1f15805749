// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TransitionEffect.h"

#include <QPainter>
#include <QVariantAnimation>

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

void TransitionEffect::draw(QPainter* painter) {
    if (!entering_ && opacity_ >= 1.0 && !grey_) {
        drawSource(painter);
        return;
    }
    QPoint offset;
    QPixmap pixmap = sourcePixmap(Qt::LogicalCoordinates, &offset);
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
