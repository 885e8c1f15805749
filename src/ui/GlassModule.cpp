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
    QPainterPath shape;
    const qreal r = std::min({radius_, width() / 2.0, height() / 2.0});
    shape.addRoundedRect(QRectF(rect()), r, r);
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
