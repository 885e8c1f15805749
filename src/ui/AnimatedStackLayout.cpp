// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AnimatedStackLayout.h"

#include <QEvent>
#include <QVariantAnimation>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace voxlane {

namespace {

int lerp(int from, int to, qreal progress) {
    return from + static_cast<int>(std::lround((to - from) * progress));
}

} // namespace

AnimatedStackLayout::AnimatedStackLayout(const Theme::Spring& spring, QWidget* parent)
    : QLayout(parent), spring_(spring) {
    if (parent) parent->installEventFilter(this);
}

bool AnimatedStackLayout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Hide) {
        // Shown again, the column opens in its layout of then rather than gliding to it.
        finish();
        placements_.clear();
    }
    return QLayout::eventFilter(watched, event);
}

AnimatedStackLayout::~AnimatedStackLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void AnimatedStackLayout::addItem(QLayoutItem* item) {
    items_.append(item);
    invalidate();
}

int AnimatedStackLayout::count() const {
    return static_cast<int>(items_.size());
}

QLayoutItem* AnimatedStackLayout::itemAt(int index) const {
    return items_.value(index);
}

QLayoutItem* AnimatedStackLayout::takeAt(int index) {
    if (index < 0 || index >= items_.size()) return nullptr;
    QLayoutItem* item = items_.takeAt(index);
    if (QWidget* view = item->widget()) {
        placements_.erase(view);
        view->clearMask();
    }
    invalidate();
    return item;
}

bool AnimatedStackLayout::hasHeightForWidth() const {
    return std::ranges::any_of(items_, [](QLayoutItem* item) { return item->hasHeightForWidth(); });
}

int AnimatedStackLayout::heightOf(QLayoutItem* item, int width) const {
    const int asked =
        item->hasHeightForWidth() ? item->heightForWidth(width) : item->sizeHint().height();
    return std::max(asked, item->minimumSize().height());
}

int AnimatedStackLayout::contentHeight(int width) const {
    int height = 0;
    int shown = 0;
    for (QLayoutItem* item : items_) {
        if (item->isEmpty()) continue;
        height += heightOf(item, width);
        ++shown;
    }
    return height + std::max(0, shown - 1) * spacing();
}

int AnimatedStackLayout::targetHeight(int width) const {
    const QMargins m = contentsMargins();
    return contentHeight(width - m.left() - m.right()) + m.top() + m.bottom();
}

int AnimatedStackLayout::heightForWidth(int width) const {
    const QMargins m = contentsMargins();
    const int inner = width - m.left() - m.right();
    return std::max(contentHeight(inner), extent_) + m.top() + m.bottom();
}

QSize AnimatedStackLayout::sizeHint() const {
    const QMargins m = contentsMargins();
    int width = 0;
    for (QLayoutItem* item : items_)
        if (!item->isEmpty()) width = std::max(width, item->sizeHint().width());
    if (geometry().isValid()) width = std::max(width, geometry().width() - m.left() - m.right());
    return {width + m.left() + m.right(), heightForWidth(width + m.left() + m.right())};
}

QSize AnimatedStackLayout::minimumSize() const {
    const QMargins m = contentsMargins();
    int width = 0;
    for (QLayoutItem* item : items_)
        if (!item->isEmpty()) width = std::max(width, item->minimumSize().width());
    return {width + m.left() + m.right(), sizeHint().height()};
}

QSize AnimatedStackLayout::maximumSize() const {
    return {QLAYOUTSIZE_MAX, sizeHint().height()};
}

QRect AnimatedStackLayout::drawnRect(const Placement& p) const {
    return {p.to.left(), lerp(p.from.top(), p.to.top(), progress_), p.to.width(),
            lerp(p.from.height(), p.to.height(), progress_)};
}

void AnimatedStackLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    const QRect area = contentsRect();
    std::map<QWidget*, Placement> next;
    bool changed = false;
    int y = area.top();
    for (QLayoutItem* item : items_) {
        if (item->isEmpty()) continue;
        const QRect to(area.left(), y, area.width(), heightOf(item, area.width()));
        y += to.height() + spacing();
        QWidget* view = item->widget();
        if (!view) {
            item->setGeometry(to);
            continue;
        }
        const auto old = placements_.find(view);
        // A view that was not shown enters in place.
        const QRect from = old == placements_.end() ? to : drawnRect(old->second);
        changed = changed || old == placements_.end() || old->second.to != to;
        next[view] = {from, to};
    }
    changed = changed || next.size() != placements_.size();
    if (!changed) {
        apply(); // the same layout: a running animation goes on
        return;
    }
    for (auto& [view, placement] : placements_)
        if (!next.contains(view)) view->clearMask();
    const bool moves = std::ranges::any_of(next, [](const auto& entry) {
        const auto& [from, to] = entry.second;
        return from.top() != to.top() || from.height() != to.height();
    });
    const bool onScreen =
        parentWidget() && parentWidget()->isVisible() && Theme::durationMs(spring_) > 0;
    placements_ = std::move(next);
    if (!moves || !onScreen) {
        finish();
        return;
    }
    // Room for the old layout until the views have left it.
    int extent = 0;
    for (const auto& [view, placement] : placements_)
        extent = std::max(extent, placement.from.bottom() + 1 - area.top());
    stopAnimation();
    progress_ = 0;
    animation_ = Theme::springAnimation(this, spring_, 0.0, 1.0);
    connect(animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        progress_ = v.toReal();
        apply();
    });
    connect(animation_, &QVariantAnimation::finished, this, [this] { finish(); });
    animation_->start();
    apply();
    if (extent > extent_) {
        extent_ = extent;
        update();
    }
}

void AnimatedStackLayout::apply() {
    for (const auto& [view, placement] : placements_) {
        const QRect drawn = drawnRect(placement);
        // The view keeps the larger of its heights, so that its content stands where it will
        // be, and is cut to the height drawn.
        const int height = std::max(placement.from.height(), placement.to.height());
        view->setGeometry(drawn.left(), drawn.top(), drawn.width(), height);
        if (drawn.height() < height)
            view->setMask(QRegion(0, 0, drawn.width(), drawn.height()));
        else if (!view->mask().isEmpty())
            view->clearMask();
    }
}

void AnimatedStackLayout::stopAnimation() {
    if (!animation_) return;
    animation_->disconnect(this);
    animation_->stop();
    animation_->deleteLater();
    animation_ = nullptr;
}

void AnimatedStackLayout::finish() {
    stopAnimation();
    progress_ = 1;
    for (auto& [view, placement] : placements_)
        placement.from = placement.to;
    apply();
    if (extent_ != 0) {
        extent_ = 0;
        update(); // the column may be smaller now
    }
}

} // namespace voxlane
