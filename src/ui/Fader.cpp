// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Fader.h"

#include "ui/Animated.h"
#include "ui/FaderRules.h"
#include "ui/FocusRing.h"
#include "ui/Theme.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>

namespace voxlane {

namespace {

// Assistive technology sees one adjustable element: its label, "N percent", and the increase
// and decrease actions stepping by 0.05.
class FaderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit FaderAccessible(Fader* fader) : QAccessibleWidget(fader, QAccessible::Slider) {}

    Fader* fader() const { return static_cast<Fader*>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return QString::fromStdString(FaderRules::accessibilityValue(fader()->value()));
        return QAccessibleWidget::text(t);
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QStringList actionNames() const override {
        return QStringList{increaseAction(), decreaseAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == increaseAction())
            fader()->increment();
        else if (action == decreaseAction())
            fader()->decrement();
        else
            QAccessibleWidget::doAction(action);
    }

    QVariant currentValue() const override { return fader()->value(); }
    void setCurrentValue(const QVariant& value) override {
        const float v = std::clamp(value.toFloat(), 0.0f, fader()->maximum());
        // Going through the steps keeps every change on the same road as the keys.
        while (fader()->value() + 1e-6f < v) {
            const float before = fader()->value();
            fader()->increment();
            if (fader()->value() == before) break;
        }
        while (fader()->value() - 1e-6f > v) {
            const float before = fader()->value();
            fader()->decrement();
            if (fader()->value() == before) break;
        }
    }
    QVariant maximumValue() const override { return fader()->maximum(); }
    QVariant minimumValue() const override { return 0.0f; }
    QVariant minimumStepSize() const override { return FaderRules::step; }
};

QAccessibleInterface* faderAccessibleFactory(const QString&, QObject* object) {
    if (auto* fader = qobject_cast<Fader*>(object)) return new FaderAccessible(fader);
    return nullptr;
}

} // namespace

Fader::Fader(float maximum, QWidget* parent)
    : QWidget(parent), maximum_(maximum), knobScale_(new Animated(this, 1.0)),
      meter_(new Animated(this, 0.0)) {
    static const bool installed = [] {
        QAccessible::installFactory(faderAccessibleFactory);
        return true;
    }();
    (void)installed;
    setFixedHeight(int(hitHeight));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Reached with Tab, and a click takes the focus too, so that the keys then move the fader
    // that was touched last; the ring shows only once keys are used (FocusRing).
    setFocusPolicy(Qt::StrongFocus);
    FocusRing::follow(this);
    setAttribute(Qt::WA_Hover);
    setMouseTracking(false);
}

void Fader::setValue(float value) {
    if (value == value_) return;
    value_ = value;
    update();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, value_);
        QAccessible::updateAccessibility(&event);
    }
}

void Fader::setLevel(std::optional<float> level) {
    const bool hadMeter = level_.has_value();
    level_ = level;
    const qreal target = level ? FaderRules::meterEnd(1.0, level) : 1.0;
    if (hadMeter && level)
        meter_->linearTo(target, 80);
    else
        meter_->jumpTo(target);
    update();
}

void Fader::setDimmed(bool dimmed) {
    if (dimmed == dimmed_) return;
    dimmed_ = dimmed;
    update();
}

QRectF Fader::trackRect() const {
    return QRectF(inset, (height() - track) / 2, std::max(0.0, width() - 2 * inset), track);
}

void Fader::write(float value) {
    if (value == value_) return;
    setValue(value);
    if (onValueChanged_) onValueChanged_(value);
}

void Fader::updateTo(double x, double width) {
    const auto v = FaderRules::valueAt(x, width, maximum_);
    if (!v) return;
    if (FaderRules::arrivesAtUnity(value_, *v) && onSnap_) onSnap_();
    write(*v);
}

void Fader::increment() {
    write(FaderRules::incremented(value_, maximum_));
}

void Fader::decrement() {
    write(FaderRules::decremented(value_));
}

void Fader::setDragging(bool dragging) {
    if (dragging == dragging_) return;
    dragging_ = dragging;
    updateKnobScale();
    if (onEditingChanged_) onEditingChanged_(dragging);
}

void Fader::updateKnobScale() {
    knobScale_->springTo(hovering_ || dragging_ ? 1.15 : 1.0, Theme::hover);
}

void Fader::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    setDragging(true);
    const QRectF t = trackRect();
    updateTo(event->position().x() - t.left(), t.width());
}

void Fader::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return QWidget::mouseMoveEvent(event);
    const QRectF t = trackRect();
    updateTo(event->position().x() - t.left(), t.width());
}

void Fader::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    setDragging(false);
}

void Fader::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(event);
    write(1.0f);
}

void Fader::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Up:
        increment();
        break;
    case Qt::Key_Left:
    case Qt::Key_Down:
        decrement();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void Fader::wheelEvent(QWheelEvent* event) {
    // One notch (120) is one step of the keys; a touchpad's small turns add up to notches.
    const QPoint delta = event->angleDelta();
    wheel_ += delta.y() != 0 ? delta.y() : -delta.x();
    const int steps = FaderRules::wheelSteps(wheel_);
    for (int i = 0; i < steps; ++i)
        increment();
    for (int i = 0; i > steps; --i)
        decrement();
    event->accept();
}

void Fader::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void Fader::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void Fader::enterEvent(QEnterEvent*) {
    hovering_ = true;
    updateKnobScale();
}

void Fader::leaveEvent(QEvent*) {
    hovering_ = false;
    updateKnobScale();
}

void Fader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(dimmed_ ? 0.4 : 1.0);

    const QRectF t = trackRect();
    const qreal radius = track / 2;
    QPainterPath trackShape;
    trackShape.addRoundedRect(t, radius, radius);
    p.fillPath(trackShape, Theme::primary(0.16));

    const qreal valueX = maximum_ > 0 ? t.width() * std::clamp(value_ / maximum_, 0.0f, 1.0f) : 0.0;
    const qreal unity = FaderRules::unityX(t.width(), maximum_).value_or(t.width());

    // A fill layer: a capsule from the left end to `end`, primary left of the unity point and
    // the boost colour right of it.
    auto fill = [&](qreal end, qreal opacity) {
        if (end <= 0) return;
        QPainterPath shape;
        shape.addRoundedRect(QRectF(t.left(), t.top(), std::max(end, track), track), radius,
                             radius);
        for (const auto& segment : FaderRules::fillSegments(end, t.width(), maximum_)) {
            QColor color = segment.boost ? Theme::boost() : Theme::primary();
            color.setAlphaF(float(opacity));
            p.save();
            // The boost part starts at the unity point; the primary part reaches the capsule's
            // rounded left end.
            const qreal from = segment.boost ? t.left() + unity : t.left() - track;
            const qreal to = segment.boost ? t.right() + track : t.left() + unity;
            p.setClipRect(QRectF(from, t.top() - 1, to - from, track + 2));
            p.fillPath(shape, color);
            p.restore();
        }
    };
    fill(valueX, level_ ? 0.5 : 0.95);
    fill(valueX * std::clamp(meter_->value(), 0.0, 1.0), 1.0);

    if (const auto mark = FaderRules::unityX(t.width(), maximum_)) {
        const QRectF markRect(t.left() + *mark - 0.75, t.center().y() - (track + 4) / 2, 1.5,
                              track + 4);
        p.fillRect(markRect, Theme::primary(0.35));
    }

    // The knob, with a soft shadow.
    const qreal r = knob / 2 * knobScale_->value();
    const QPointF centre(t.left() + valueX, t.center().y());
    p.setPen(Qt::NoPen);
    for (int i = 3; i >= 1; --i) {
        p.setBrush(QColor(0, 0, 0, 22));
        p.drawEllipse(centre + QPointF(0, 0.6), r + i * 0.7, r + i * 0.7);
    }
    p.setBrush(Qt::white);
    p.drawEllipse(centre, r, r);
    if (FocusRing::shown(this)) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Theme::primary(0.6), 1.5));
        p.drawEllipse(centre, r + 2.5, r + 2.5);
    }
}

} // namespace voxlane
