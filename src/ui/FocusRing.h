// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QObject>

class QPainter;
class QRectF;
class QWidget;

namespace voxlane {

// Keyboard focus made visible. A control that FocusRing follows shows its ring while it has the
// focus and the focus came from the keyboard (Tab, Shift+Tab, a shortcut) or keys were used on it
// since; a click may give a control the focus, but shows no ring. On a followed button Enter and
// Return press it, as Space does. A control styled by a style sheet shows its ring through the
// selector [voxlaneFocusFromKeyboard="true"]:focus (focusStyle()).
class FocusRing : public QObject {
    Q_OBJECT
public:
    static FocusRing& instance();

    // Follows `control` from now on (call once, when it is made).
    static void follow(QWidget* control);
    // Whether `control` shows its ring now.
    static bool shown(const QWidget* control);
    // Whether the focus is on `view` or inside it, and shown.
    static bool shownWithin(const QWidget* view);
    // Draws the ring along the inside of `shape` (a rounded rectangle of `radius`; a circle or a
    // capsule when the radius is half its height), in `color` or the primary style.
    static void draw(QPainter& painter, const QRectF& shape, qreal radius,
                     const QColor& color = QColor());
    // The style sheet rule that draws the ring of a followed QPushButton as its border (the
    // button's own rule gives it a transparent border of that width).
    static QString focusStyle(const QColor& color = QColor());

signals:
    // `control` began or stopped showing its ring.
    void changed(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FocusRing() = default;
    void setFromKeyboard(QWidget* control, bool fromKeyboard);
};

} // namespace voxlane
