// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QVariantAnimation>
#include <QWidget>
#include <gtest/gtest.h>

// What the view and shell tests do to widgets: pointer events, menus, animations.
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

// The pointer coming onto a widget and leaving it.
inline void enter(QWidget* w, QPointF at = {5, 5}) {
    QEnterEvent event(at, at, at);
    QApplication::sendEvent(w, &event);
}
inline void leave(QWidget* w) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(w, &event);
}

// The action with this text in a menu or its submenus, or null.
inline QAction* find(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions()) {
        if (a->text() == text) return a;
        if (a->menu())
            if (QAction* inner = find(a->menu(), text)) return inner;
    }
    return nullptr;
}

// Runs an animation to its end and delivers what it left behind (queued calls, deletions).
inline void finish(QVariantAnimation* animation) {
    ASSERT_NE(animation, nullptr);
    animation->setCurrentTime(animation->duration());
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace voxlane::test
