// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace voxlane::test {

// Sends one left-button mouse event at a sub-pixel position (QTest only takes whole pixels).
inline void mouse(QWidget* widget, QEvent::Type type, QPointF at) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

inline void press(QWidget* w, QPointF at) {
    mouse(w, QEvent::MouseButtonPress, at);
}
inline void move(QWidget* w, QPointF at) {
    mouse(w, QEvent::MouseMove, at);
}
inline void release(QWidget* w, QPointF at) {
    mouse(w, QEvent::MouseButtonRelease, at);
}
// What a double click delivers: press, release, double click, release.
inline void doubleClick(QWidget* w, QPointF at) {
    press(w, at);
    release(w, at);
    mouse(w, QEvent::MouseButtonDblClick, at);
    release(w, at);
}

} // namespace voxlane::test
