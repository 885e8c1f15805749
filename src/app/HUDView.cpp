// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/HUDView.h"

#include "app/HUDModel.h"
#include "ui/Animated.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace voxlane {
namespace {

constexpr Theme::Spring levelSpring{0.22, 0.9, 0};

} // namespace

HUDView::HUDView(HUDModel& model, QWidget* parent)
    : QWidget(parent), model_(model), fill_(new Animated(this, model.level())) {
    setFixedSize(260, 66);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&model_, &HUDModel::changed, this, &HUDView::follow);
}

qreal HUDView::drawnLevel() const {
    return fill_->value();
}

void HUDView::follow() {
    if (fill_->target() != model_.level()) fill_->springTo(model_.level(), levelSpring);
    update();
}

void HUDView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 18, 18);
    Theme::glassModule(p, shape);

    const QRectF inner = QRectF(rect()).adjusted(18, 14, -18, -14);
    // The speaker, 24 wide, centred on the row.
    Symbols::draw(p, model_.speakerSymbol(), QRectF(inner.left(), inner.center().y() - 12, 24, 24),
                  Theme::primary());

    const qreal columnLeft = inner.left() + 24 + 14;
    const QRectF column(columnLeft, inner.top(), inner.right() - columnLeft, inner.height());
    // Device symbol and name, one line, in the secondary style.
    const QRectF nameLine(column.left(), column.top(), column.width(), 18);
    Symbols::draw(p, model_.symbol(), QRectF(nameLine.left(), nameLine.top() + 2, 14, 14),
                  Theme::secondary());
    p.setFont(Theme::detail());
    p.setPen(Theme::secondary());
    const QRectF textBox = nameLine.adjusted(20, 0, 0, 0);
    const QString name = p.fontMetrics().elidedText(QString::fromStdString(model_.deviceName()),
                                                    Qt::ElideRight, int(textBox.width()));
    p.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter, name);

    // The level bar: a capsule track and a capsule fill.
    const qreal barHeight = 6;
    const QRectF track(column.left(), column.bottom() - barHeight - 3, column.width(), barHeight);
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::primary(0.16));
    p.drawRoundedRect(track, barHeight / 2, barHeight / 2);
    const qreal level = std::clamp(fill_->value(), 0.0, 1.0);
    if (level > 0) {
        QRectF fill = track;
        fill.setWidth(track.width() * level);
        QPainterPath trackPath, fillPath;
        trackPath.addRoundedRect(track, barHeight / 2, barHeight / 2);
        fillPath.addRoundedRect(fill, std::min(barHeight / 2, fill.width() / 2), barHeight / 2);
        p.setBrush(Theme::primary(model_.muted() ? 0.3 : 1.0));
        p.drawPath(fillPath.intersected(trackPath));
    }
}

} // namespace voxlane
