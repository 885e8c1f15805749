// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/GhostButton.h"

#include "ui/Animated.h"
#include "ui/FocusRing.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QPainter>

namespace voxlane {

GhostButton::GhostButton(const QString& symbol, const QString& help, QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol), hover_(new Animated(this, 0)),
      opacity_(new Animated(this, 1)) {
    setFixedSize(22, 22);
    setCursor(Qt::ArrowCursor);
    // A click leaves the focus where it is: the button may go away with the pointer.
    setFocusPolicy(Qt::TabFocus);
    FocusRing::follow(this);
    setHelp(help);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (action_) action_();
    });
    connect(opacity_, &Animated::settled, this, [this] {
        if (!shown_) hide();
    });
}

void GhostButton::setShown(bool shown) {
    if (shown == shown_ && (shown ? !isHidden() : true)) return;
    shown_ = shown;
    if (shown) {
        if (isHidden()) {
            opacity_->jumpTo(0);
            show();
        }
        opacity_->springTo(1, Theme::hover);
    } else {
        opacity_->springTo(0, Theme::hover);
    }
}

qreal GhostButton::shownOpacity() const {
    return std::clamp(opacity_->value(), 0.0, 1.0);
}

QVariantAnimation* GhostButton::fade() const {
    return opacity_->animation();
}

void GhostButton::setSymbol(const QString& symbol) {
    if (symbol == symbol_) return;
    symbol_ = symbol;
    update();
}

void GhostButton::setTint(std::optional<QColor> tint) {
    tint_ = tint;
    update();
}

void GhostButton::setHelp(const QString& help) {
    setToolTip(help);
    setAccessibleName(help);
}

void GhostButton::enterEvent(QEnterEvent*) {
    hovering_ = true;
    hover_->springTo(1, Theme::hover);
}

void GhostButton::leaveEvent(QEvent*) {
    hovering_ = false;
    hover_->springTo(0, Theme::hover);
}

void GhostButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(shownOpacity());
    const QRectF r = QRectF(rect());
    if (hover_->value() > 0.001) {
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::primary(0.08 * std::clamp(hover_->value(), 0.0, 1.0)));
        p.drawEllipse(r);
    }
    // An accent tint as deep (light glass) or as bright (dark glass) as it takes to read.
    QColor color = tint_ ? Theme::legible(*tint_) : Theme::secondary();
    if (isDown()) color.setAlphaF(color.alphaF() * 0.7f);
    const QRectF glyph(r.center().x() - 5.5, r.center().y() - 5.5, 11, 11);
    Symbols::draw(p, symbol_.toStdString(), glyph, color);
    if (FocusRing::shown(this)) FocusRing::draw(p, r, r.height() / 2);
}

} // namespace voxlane
