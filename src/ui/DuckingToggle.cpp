// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DuckingToggle.h"

#include "engine/MixerEngine.h"
#include "ui/DuckLevelMenu.h"
#include "ui/FocusRing.h"
#include "ui/Labels.h"
#include "ui/PanelRules.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

namespace voxlane {

DuckingToggle::DuckingToggle(MixerEngine& engine, QWidget* parent)
    : GlassModule(parent, side / 2.0, true), engine_(engine) {
    setFixedSize(side, side);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    FocusRing::follow(this);
    refresh();
}

void DuckingToggle::refresh() {
    setToolTip(qstr(PanelRules::duckingHelp(engine_.duckingEnabled())));
    setAccessibleName(toolTip());
    update();
}

void DuckingToggle::press() {
    engine_.setDuckingEnabled(!engine_.duckingEnabled());
}

QMenu* DuckingToggle::contextMenu() {
    auto* menu = new QMenu(this);
    addDuckLevelMenu(*menu, engine_);
    Theme::styleMenu(menu);
    return menu;
}

void DuckingToggle::paintEvent(QPaintEvent* event) {
    GlassModule::paintEvent(event);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink =
        engine_.duckingEnabled() ? Theme::legible(Theme::live()) : Theme::secondary();
    const QRectF box(QPointF(0, 0), QSizeF(17, 17));
    Symbols::draw(p, PanelRules::duckingSymbol,
                  box.translated(QRectF(rect()).center() - box.center()), ink);
    if (FocusRing::shown(this)) FocusRing::draw(p, QRectF(rect()), side / 2.0);
}

void DuckingToggle::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        press();
        break;
    case Qt::Key_Left:
    case Qt::Key_Up:
        focusNextPrevChild(false);
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        focusNextPrevChild(true);
        break;
    default:
        GlassModule::keyPressEvent(event);
    }
}

void DuckingToggle::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) press();
}

void DuckingToggle::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = contextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

} // namespace voxlane
