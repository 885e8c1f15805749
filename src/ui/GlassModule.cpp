// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/GlassModule.h"

#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace voxlane {

GlassModule::GlassModule(QWidget* parent, qreal radius, bool interactive)
    : QWidget(parent), radius_(radius), interactive_(interactive) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void GlassModule::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Within the mask while a layout reveals or cuts the module bit by bit.
    const QRectF area = mask().isEmpty() ? QRectF(rect()) : QRectF(mask().boundingRect());
    QPainterPath shape;
    const qreal r = std::min({radius_, area.width() / 2.0, area.height() / 2.0});
    shape.addRoundedRect(area, r, r);
    Theme::glassModule(p, shape, interactive_, hovering_);
}

void GlassModule::enterEvent(QEnterEvent*) {
    hovering_ = true;
    if (interactive_) update();
}

void GlassModule::leaveEvent(QEvent*) {
    hovering_ = false;
    if (interactive_) update();
}

} // namespace voxlane
