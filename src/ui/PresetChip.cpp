// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PresetChip.h"

#include "ui/Animated.h"
#include "ui/FocusRing.h"
#include "ui/Theme.h"

#include <QPainter>

namespace voxlane {

PresetChip::PresetChip(const QString& title, const QString& help, bool selected,
                       std::function<void()> action, QWidget* parent)
    : QAbstractButton(parent), selected_(selected), action_(std::move(action)),
      hover_(new Animated(this, 0)) {
    setText(title);
    setToolTip(help);
    setAccessibleName(title);
    setAccessibleDescription(help);
    setFocusPolicy(Qt::TabFocus);
    FocusRing::follow(this);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (action_) action_();
    });
}

QFont PresetChip::font() const {
    return Theme::systemFont(11, selected_ ? QFont::DemiBold : QFont::Medium);
}

QSize PresetChip::sizeHint() const {
    const QFontMetricsF metrics(font());
    return {int(std::ceil(metrics.horizontalAdvance(text()) + 20)),
            int(std::ceil(metrics.height() + 10))};
}

void PresetChip::setSelected(bool selected) {
    if (selected == selected_) return;
    selected_ = selected;
    update();
}

void PresetChip::enterEvent(QEnterEvent*) {
    hovering_ = true;
    hover_->springTo(1, Theme::hover);
}

void PresetChip::leaveEvent(QEvent*) {
    hovering_ = false;
    hover_->springTo(0, Theme::hover);
}

void PresetChip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect());
    const qreal hover = std::clamp(hover_->value(), 0.0, 1.0);
    p.setPen(Qt::NoPen);
    p.setBrush(selected_ ? Theme::primary() : Theme::primary(0.08 + 0.06 * hover));
    if (isDown()) p.setOpacity(0.8);
    p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    p.setFont(font());
    p.setPen(selected_ ? Theme::onPrimary(0.85) : Theme::primary(0.9));
    // A title longer than the chip ends in "…"; the tooltip has the help text.
    p.drawText(r.adjusted(6, 0, -6, 0), Qt::AlignCenter,
               QFontMetricsF(font()).elidedText(text(), Qt::ElideRight, r.width() - 12));
    if (FocusRing::shown(this)) {
        p.setOpacity(1);
        // Inside a selected chip the ring takes the chip's text colour.
        FocusRing::draw(p, r.adjusted(1.5, 1.5, -1.5, -1.5), r.height() / 2 - 1.5,
                        selected_ ? Theme::onPrimary(0.6) : QColor());
    }
}

} // namespace voxlane
