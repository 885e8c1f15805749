// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DeviceMenu.h"

#include "engine/MixerEngine.h"
#include "ui/Labels.h"
#include "ui/PanelRules.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QMenu>

namespace voxlane {

DeviceMenu::DeviceMenu(MixerEngine& engine, std::function<void()> openDevicesWindow,
                       QWidget* parent)
    : GhostButton(qstr(PanelRules::deviceMenuSymbol), qstr(PanelRules::deviceMenuHelp()), parent),
      engine_(engine), openDevicesWindow_(std::move(openDevicesWindow)) {
    setAction([this] {
        QMenu* m = menu();
        m->setAttribute(Qt::WA_DeleteOnClose);
        m->popup(mapToGlobal(QPoint(0, height())));
    });
}

QMenu* DeviceMenu::menu() {
    auto* m = new QMenu(this);
    Theme::styleMenu(m);
    m->addSection(qstr(PanelRules::deviceMenuSection()));
    const auto& current = engine_.defaultOutput();
    const QColor ink = m->palette().color(QPalette::Text);
    for (const AudioDevice& device : engine_.outputDevices()) {
        QAction* entry =
            m->addAction(Symbols::icon(device.symbolName(), ink, 16), qstr(device.name),
                         [this, id = device.id] { engine_.setDefaultOutput(id); });
        entry->setCheckable(true);
        entry->setChecked(current && current->uid == device.uid);
    }
    m->addSeparator();
    m->addAction(qstr(PanelRules::devicePriorities()), [this] {
        if (openDevicesWindow_) openDevicesWindow_();
    });
    return m;
}

} // namespace voxlane
