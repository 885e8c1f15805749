// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/SettingsButton.h"

#include "engine/MixerEngine.h"
#include "ui/DuckLevelMenu.h"
#include "ui/FocusRing.h"
#include "ui/Labels.h"
#include "ui/PanelRules.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace voxlane {

SettingsButton::SettingsButton(MixerEngine& engine, LoginItem loginItem, std::function<void()> quit,
                               PanelActions actions, QWidget* parent)
    : GlassModule(parent, side / 2.0, true), engine_(engine), loginItem_(std::move(loginItem)),
      quit_(std::move(quit)), actions_(std::move(actions)) {
    beep = [] { QApplication::beep(); };
    setFixedSize(side, side);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    FocusRing::follow(this);
    setAccessibleName(tr("Settings"));
    launchAtLogin_ = loginItem_.isEnabled && loginItem_.isEnabled();
}

void SettingsButton::setLaunchAtLogin(bool on) {
    const bool ok = loginItem_.setEnabled && loginItem_.setEnabled(on);
    if (!ok && beep) beep();
    launchAtLogin_ = loginItem_.isEnabled && loginItem_.isEnabled();
}

QMenu* SettingsButton::menu() {
    // The state of now: the first-run window may have turned it on after the button was made.
    launchAtLogin_ = loginItem_.isEnabled && loginItem_.isEnabled();
    auto* m = new QMenu(this);
    Theme::styleMenu(m);
    m->addSection(qstr(PanelRules::callsSection()));
    QAction* lower = m->addAction(qstr(PanelRules::lowerOtherApps()),
                                  [this](bool on) { engine_.setDuckingEnabled(on); });
    lower->setCheckable(true);
    lower->setChecked(engine_.duckingEnabled());
    addDuckLevelMenu(*m, engine_)->setEnabled(engine_.duckingEnabled());
    m->addSeparator();
    QAction* login =
        m->addAction(qstr(PanelRules::openAtLogin()), [this](bool on) { setLaunchAtLogin(on); });
    login->setCheckable(true);
    login->setChecked(launchAtLogin_);
    m->addAction(qstr(PanelRules::devices()), [this] {
        if (actions_.openDevicesWindow) actions_.openDevicesWindow();
    });
    m->addSeparator();
    m->addAction(qstr(PanelRules::checkForUpdates()), [this] {
        if (actions_.checkForUpdates) actions_.checkForUpdates();
    });
    QAction* quit = m->addAction(qstr(PanelRules::quit()), [this] {
        if (quit_) quit_();
    });
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    return m;
}

void SettingsButton::paintEvent(QPaintEvent* event) {
    GlassModule::paintEvent(event);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(QPointF(0, 0), QSizeF(16, 16));
    Symbols::draw(p, PanelRules::settingsSymbol,
                  box.translated(QRectF(rect()).center() - box.center()), Theme::primary(0.9));
    if (FocusRing::shown(this)) FocusRing::draw(p, QRectF(rect()), side / 2.0);
}

void SettingsButton::openMenu() {
    QMenu* m = menu();
    m->setAttribute(Qt::WA_DeleteOnClose);
    m->popup(mapToGlobal(QPoint(0, height())));
}

void SettingsButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
    openMenu();
}

void SettingsButton::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Down:
        openMenu();
        break;
    case Qt::Key_Left:
    case Qt::Key_Up:
        focusNextPrevChild(false);
        break;
    case Qt::Key_Right:
        focusNextPrevChild(true);
        break;
    default:
        GlassModule::keyPressEvent(event);
    }
}

} // namespace voxlane
