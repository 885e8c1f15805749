// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <functional>
#include <optional>

namespace voxlane {

class Animated;

// The horizontal volume slider: 0 to `maximum` (2.0 for apps, 1.0 for the master), a unity point
// at 100 % that snaps above 1, the part past 100 % filled in the boost colour, and an optional
// level meter drawn into the fill.
//
// The fader shows a value it is given (setValue) and reports what the user asks for through
// onValueChanged; the owner stores it and may set it back.
class Fader : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal track = 6;      // track thickness
    static constexpr qreal knob = 12;      // knob diameter
    static constexpr qreal hitHeight = 18; // height that takes the pointer
    // The track is inset so that the knob, grown while hovered, stays inside the view.
    static constexpr qreal inset = 7;

    explicit Fader(float maximum, QWidget* parent = nullptr);

    float value() const { return value_; }
    void setValue(float value);
    float maximum() const { return maximum_; }
    std::optional<float> level() const { return level_; }
    void setLevel(std::optional<float> level);
    void setDimmed(bool dimmed);
    QString accessibilityLabel() const { return accessibleName(); }
    void setAccessibilityLabel(const QString& label) { setAccessibleName(label); }

    bool isDragging() const { return dragging_; }

    // A value chosen by the user (drag, double click, keys, assistive technology).
    void setOnValueChanged(std::function<void(float)> f) { onValueChanged_ = std::move(f); }
    // true when a drag starts, false when it ends.
    void setOnEditingChanged(std::function<void(bool)> f) { onEditingChanged_ = std::move(f); }
    // Each arrival at exactly 100 % by dragging: where the alignment feedback goes.
    void setOnSnap(std::function<void()> f) { onSnap_ = std::move(f); }

    // Moves the value to the pointer at `x` inside a track `width` wide (both in track
    // coordinates), with the unity snap.
    void updateTo(double x, double width);
    // One step (0.05: the keys, a notch of the wheel, assistive technology) up, at most
    // `maximum`, or down, at least 0.
    void increment();
    void decrement();

    // The track's place inside the view.
    QRectF trackRect() const;

    QSize sizeHint() const override { return {200, int(hitHeight)}; }
    QSize minimumSizeHint() const override { return {40, int(hitHeight)}; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    void write(float value);
    void setDragging(bool dragging);
    void updateKnobScale();

    float value_ = 1.0f;
    float maximum_;
    std::optional<float> level_;
    bool dimmed_ = false;
    bool hovering_ = false;
    bool dragging_ = false;
    int wheel_ = 0; // the wheel's turn not yet made into steps
    std::function<void(float)> onValueChanged_;
    std::function<void(bool)> onEditingChanged_;
    std::function<void()> onSnap_;
    Animated* knobScale_;
    Animated* meter_; // the drawn level, following level_ over 0.08 s
};

} // namespace voxlane
