// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainMenu.h"

#include <QAction>
#include <QApplication>
#include <QWidget>

namespace voxlane {
namespace {

// Sends `slot` to the focused widget when it has one by that name.
void toFocus(const char* slot) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus) return;
    const QMetaObject* meta = focus->metaObject();
    if (meta->indexOfMethod(QMetaObject::normalizedSignature(QByteArray(slot) + "()")) >= 0)
        QMetaObject::invokeMethod(focus, slot);
}

} // namespace

MainMenu::MainMenu(QObject* parent) : QObject(parent), quit([] { QCoreApplication::quit(); }) {
    const auto add = [this](const QString& title, const QKeySequence& keys, auto trigger) {
        auto* action = new QAction(title, this);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::ApplicationShortcut);
        connect(action, &QAction::triggered, this, trigger);
        actions_.push_back(action);
    };
    add(tr("Quit Voxlane"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] {
        if (quit) quit();
    });
    add(tr("Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), [] { toFocus("undo"); });
    add(tr("Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [] { toFocus("redo"); });
    add(tr("Cut"), QKeySequence(Qt::CTRL | Qt::Key_X), [] { toFocus("cut"); });
    add(tr("Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), [] { toFocus("copy"); });
    add(tr("Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), [] { toFocus("paste"); });
    add(tr("Select All"), QKeySequence(Qt::CTRL | Qt::Key_A), [] { toFocus("selectAll"); });
    add(tr("Close Window"), QKeySequence(Qt::CTRL | Qt::Key_W), [] {
        if (QWidget* window = QApplication::activeWindow()) window->close();
    });
}

MainMenu::~MainMenu() = default;

void MainMenu::attachTo(QWidget* window) const {
    for (QAction* a : actions_)
        window->addAction(a);
}

QAction* MainMenu::action(const QString& title) const {
    for (QAction* a : actions_)
        if (a->text() == title) return a;
    return nullptr;
}

} // namespace voxlane
