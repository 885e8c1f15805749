// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/EQCurve.h"

#include "ui/Animated.h"
#include "ui/FocusRing.h"
#include "ui/Theme.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace voxlane {

namespace {

// One element "Equalizer" whose value lists every band: "Low 6 dB, 250 2 dB, …".
class EQCurveAccessible : public QAccessibleWidget {
public:
    explicit EQCurveAccessible(EQCurve* curve) : QAccessibleWidget(curve, QAccessible::Chart) {}

    QString text(QAccessible::Text t) const override {
        const auto* curve = static_cast<EQCurve*>(widget());
        if (t == QAccessible::Value)
            return QString::fromStdString(EQCurveRules::accessibilityValue(curve->gains()));
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* eqCurveAccessibleFactory(const QString&, QObject* object) {
    if (auto* curve = qobject_cast<EQCurve*>(object)) return new EQCurveAccessible(curve);
    return nullptr;
}

QPointF toQt(EQCurveRules::Point p) {
    return {p.x, p.y};
}

} // namespace

EQCurve::EQCurve(QWidget* parent, double minF, double maxF, qreal labelHeight)
    : QWidget(parent), gains_(EQ::bandCount, 0.0f), minF_(minF), maxF_(maxF),
      labelHeight_(labelHeight), labelOpacity_(new Animated(this, 0)) {
    static const bool installed = [] {
        QAccessible::installFactory(eqCurveAccessibleFactory);
        return true;
    }();
    (void)installed;
    for (auto& scale : handleScale_)
        scale = new Animated(this, 1.0);
    setAccessibleName(tr("Equalizer"));
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // A click takes the focus too: the keys then move the band that was touched.
    setFocusPolicy(Qt::StrongFocus);
    FocusRing::follow(this);
}

void EQCurve::setGains(std::vector<float> gains) {
    if (gains.size() < EQ::bandCount) gains.resize(EQ::bandCount, 0.0f);
    if (gains == gains_) return;
    gains_ = std::move(gains);
    update();
}

EQCurveRules::Plot EQCurve::plot() const {
    return {double(width()), std::max(0.0, double(height()) - labelHeight_), minF_, maxF_};
}

std::size_t EQCurve::nearestBand(double x, double width) const {
    EQCurveRules::Plot p = plot();
    p.width = width;
    return EQCurveRules::nearestBand(p, x);
}

void EQCurve::setBand(int band, float db) {
    const auto change = EQCurveRules::setBand(gains_, band, db);
    if (!change.changed) return;
    if (change.reachedZero && onHaptic_) onHaptic_();
    update();
    if (onChange_) onChange_(gains_);
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(
            this, QString::fromStdString(EQCurveRules::accessibilityValue(gains_)));
        QAccessible::updateAccessibility(&event);
    }
}

QPainterPath EQCurve::curvePath(const QSizeF& size, bool closed) const {
    const EQCurveRules::Plot p{size.width(), size.height(), minF_, maxF_};
    const auto points = EQCurveRules::curvePoints(p, gains_);
    QPainterPath path;
    path.moveTo(toQt(points.front()));
    for (std::size_t i = 1; i < points.size(); ++i)
        path.lineTo(toQt(points[i]));
    if (closed) {
        const double zero = EQCurveRules::y(p, 0);
        path.lineTo(points.back().x, zero);
        path.lineTo(points.front().x, zero);
        path.closeSubpath();
    }
    return path;
}

void EQCurve::setActiveBand(std::optional<std::size_t> band) {
    if (band == activeBand_) return;
    activeBand_ = band;
    if (band) labelBand_ = *band;
    labelOpacity_->springTo(band ? 1 : 0, Theme::hover);
    updateHandleScales();
}

void EQCurve::setHoverBand(std::optional<std::size_t> band) {
    if (band == hoverBand_) return;
    hoverBand_ = band;
    updateHandleScales();
}

void EQCurve::updateHandleScales() {
    for (std::size_t i = 0; i < EQ::bandCount; ++i) {
        const qreal scale = activeBand_ == i ? 1.35 : hoverBand_ == i ? 1.15 : 1.0;
        handleScale_[i]->springTo(scale, Theme::hover);
    }
    update();
}

void EQCurve::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const QPointF pos = event->position();
    const std::size_t band = nearestBand(pos.x(), width());
    keyBand_ = band;
    setActiveBand(band);
    setBand(int(band), EQCurveRules::dbAt(plot(), pos.y()));
}

void EQCurve::mouseMoveEvent(QMouseEvent* event) {
    const QPointF pos = event->position();
    setHoverBand(nearestBand(pos.x(), width()));
    if (activeBand_ && (event->buttons() & Qt::LeftButton))
        setBand(int(*activeBand_), EQCurveRules::dbAt(plot(), pos.y()));
}

void EQCurve::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    setActiveBand(std::nullopt);
}

void EQCurve::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(event);
    setBand(int(nearestBand(event->position().x(), width())), 0.0f);
}

void EQCurve::leaveEvent(QEvent*) {
    setHoverBand(std::nullopt);
}

void EQCurve::keyPressEvent(QKeyEvent* event) {
    const int band = int(keyBand_);
    switch (event->key()) {
    case Qt::Key_Left:
        keyBand_ = std::size_t(std::max(0, band - 1));
        update();
        break;
    case Qt::Key_Right:
        keyBand_ = std::min(EQ::bandCount - 1, keyBand_ + 1);
        update();
        break;
    case Qt::Key_Up:
        setBand(band, EQCurveRules::keyStep(gains_[keyBand_], 1));
        break;
    case Qt::Key_Down:
        setBand(band, EQCurveRules::keyStep(gains_[keyBand_], -1));
        break;
    case Qt::Key_Home:
        setBand(band, 0.0f);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void EQCurve::focusInEvent(QFocusEvent* event) {
    // Tab comes to the first band, Shift+Tab to the last.
    if (event->reason() == Qt::TabFocusReason) keyBand_ = 0;
    if (event->reason() == Qt::BacktabFocusReason) keyBand_ = EQ::bandCount - 1;
    QWidget::focusInEvent(event);
    update();
}

bool EQCurve::focusNextPrevChild(bool next) {
    // Tab walks through the bands before it leaves the curve.
    if (hasFocus() && next && keyBand_ + 1 < EQ::bandCount) {
        ++keyBand_;
        update();
        return true;
    }
    if (hasFocus() && !next && keyBand_ > 0) {
        --keyBand_;
        update();
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

// The dragged band's value, or the value of the band the keys move, in a pill by its handle.
void EQCurve::paintValueLabel(QPainter& p, const EQCurveRules::Plot& plot,
                              const EQCurveRules::Point& handle, float db, bool keys) const {
    const qreal labelOpacity = keys ? 1.0 : labelOpacity_->value();
    if (labelOpacity <= 0.01) return;
    const QString text = QString::fromStdString(EQCurveRules::valueLabel(db));
    const QFont font = Theme::systemFont(10, QFont::DemiBold);
    const QFontMetricsF metrics(font);
    const QSizeF size(metrics.horizontalAdvance(text) + 12, metrics.height() + 4);
    const auto centre = EQCurveRules::valueLabelCentre(plot, handle);
    const QRectF box(centre.x - size.width() / 2, centre.y - size.height() / 2, size.width(),
                     size.height());
    p.save();
    p.setOpacity(std::clamp(labelOpacity, 0.0, 1.0));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, int(0.55 * 255)));
    p.drawRoundedRect(box, box.height() / 2, box.height() / 2);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(box, Qt::AlignCenter, text);
    p.restore();
}

void EQCurve::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const EQCurveRules::Plot plot = this->plot();
    const double w = plot.width, h = plot.height;
    if (w <= 16 || h <= 20) return;

    // Background, the ±6 dB lines and the dashed 0 dB line.
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::primary(0.05));
    p.drawRoundedRect(QRectF(0, 0, w, h), 12, 12);
    p.setPen(QPen(Theme::primary(0.06), 1));
    for (double db : {6.0, -6.0}) {
        const double y = EQCurveRules::y(plot, db);
        p.drawLine(QPointF(8, y), QPointF(w - 8, y));
    }
    QPen dashed(Theme::primary(0.16), 1);
    dashed.setDashPattern({2, 3});
    p.setPen(dashed);
    const double zero = EQCurveRules::y(plot, 0);
    p.drawLine(QPointF(8, zero), QPointF(w - 8, zero));

    // The response, filled down to 0 dB and stroked.
    p.setPen(Qt::NoPen);
    p.fillPath(curvePath({w, h}, true), Theme::primary(0.10));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Theme::primary(0.9), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(curvePath({w, h}, false));

    // Handles, at the unclamped response.
    const auto handles = EQCurveRules::handlePoints(plot, gains_);
    p.setPen(Qt::NoPen);
    for (std::size_t i = 0; i < EQ::bandCount; ++i) {
        const QPointF c = toQt(handles[i]);
        const qreal r = 5.5 * handleScale_[i]->value();
        for (int k = 3; k >= 1; --k) {
            p.setBrush(QColor(0, 0, 0, int(0.3 * 255 / 3)));
            p.drawEllipse(c + QPointF(0, 0.8), r + k * 0.6, r + k * 0.6);
        }
        p.setBrush(Qt::white);
        p.drawEllipse(c, r, r);
    }
    const bool keys = FocusRing::shown(this);
    if (keys) {
        const QPointF c = toQt(handles[keyBand_]);
        const qreal r = 5.5 * handleScale_[keyBand_]->value() + 3;
        FocusRing::draw(p, QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), r);
    }

    const std::size_t shownBand = keys && !activeBand_ ? keyBand_ : labelBand_;
    paintValueLabel(p, plot, handles[shownBand], gains_[shownBand], keys);

    // Band names under the plot.
    p.setFont(Theme::systemFont(9.5, QFont::Medium));
    const QFontMetricsF metrics(p.font());
    for (std::size_t i = 0; i < EQ::bandCount; ++i) {
        p.setPen(activeBand_ == i || (keys && keyBand_ == i) ? Theme::secondary()
                                                             : Theme::tertiary());
        const QString text = QCoreApplication::translate("EQ", EQ::labels[i].data());
        const double cx = EQCurveRules::bandLabelX(plot, i);
        const double cy = h + labelHeight_ / 2 + 1;
        const QRectF box(cx - 20, cy - metrics.height() / 2, 40, metrics.height());
        p.drawText(box, Qt::AlignCenter, text);
    }
}

} // namespace voxlane
