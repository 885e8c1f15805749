// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/FocusRing.h"

#include "ui/Theme.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QWidget>

namespace voxlane {

namespace {

// Whether the control's focus came from the keyboard (or keys were used on it since).
const char* const fromKeyboardKey = "voxlaneFocusFromKeyboard";

bool isModifier(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_Super_L || key == Qt::Key_Super_R ||
           key == Qt::Key_AltGr;
}

// A control styled by a style sheet draws its ring from the property
// [voxlaneFocusFromKeyboard="true"]: the sheet is applied again when it changes.
void restyle(QWidget* control) {
    if (control->styleSheet().isEmpty()) return;
    control->style()->unpolish(control);
    control->style()->polish(control);
}

} // namespace

FocusRing& FocusRing::instance() {
    static FocusRing* ring = new FocusRing;
    return *ring;
}

void FocusRing::follow(QWidget* control) {
    control->installEventFilter(&instance());
}

bool FocusRing::shown(const QWidget* control) {
    return control && control->hasFocus() && control->property(fromKeyboardKey).toBool();
}

bool FocusRing::shownWithin(const QWidget* view) {
    QWidget* focus = QApplication::focusWidget();
    return focus && (focus == view || view->isAncestorOf(focus)) && shown(focus);
}

void FocusRing::draw(QPainter& p, const QRectF& shape, qreal radius, const QColor& color) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    constexpr qreal width = 1.5;
    const QRectF r = shape.adjusted(width / 2, width / 2, -width / 2, -width / 2);
    const qreal rr = std::max(0.0, std::min({radius - width / 2, r.width() / 2, r.height() / 2}));
    p.setPen(QPen(color.isValid() ? color : Theme::primary(0.85), width));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r, rr, rr);
    p.restore();
}

QString FocusRing::focusStyle(const QColor& color) {
    const QColor ring = color.isValid() ? color : Theme::primary(0.85);
    return QStringLiteral(" QPushButton[voxlaneFocusFromKeyboard=\"true\"]:focus { border-color: "
                          "rgba(%1, %2, %3, %4); }")
        .arg(ring.red())
        .arg(ring.green())
        .arg(ring.blue())
        .arg(ring.alpha());
}

void FocusRing::setFromKeyboard(QWidget* control, bool fromKeyboard) {
    const bool before = shown(control);
    control->setProperty(fromKeyboardKey, fromKeyboard);
    restyle(control);
    control->update();
    if (shown(control) != before) emit changed(control);
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    auto* control = qobject_cast<QWidget*>(watched);
    if (!control) return false;
    switch (event->type()) {
    case QEvent::FocusIn: {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const bool keys = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                          reason == Qt::ShortcutFocusReason;
        // Back from a menu or another window, the control shows what it showed before.
        const bool keep = reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason;
        control->setProperty(fromKeyboardKey,
                             keep ? control->property(fromKeyboardKey).toBool() : keys);
        restyle(control);
        control->update();
        emit changed(control);
        break;
    }
    case QEvent::FocusOut: {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            control->setProperty(fromKeyboardKey, false);
        restyle(control);
        control->update();
        emit changed(control);
        break;
    }
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isModifier(key->key()) || key->key() == Qt::Key_Escape) break;
        if (control->hasFocus() && !control->property(fromKeyboardKey).toBool())
            setFromKeyboard(control, true);
        auto* button = qobject_cast<QAbstractButton*>(control);
        if (button && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (button->isEnabled()) button->click();
            return true;
        }
        break;
    }
    case QEvent::MouseButtonPress:
        if (control->property(fromKeyboardKey).toBool()) setFromKeyboard(control, false);
        break;
    default:
        break;
    }
    return false;
}

} // namespace voxlane
