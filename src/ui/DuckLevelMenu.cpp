// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DuckLevelMenu.h"

#include "engine/MixerEngine.h"
#include "ui/Labels.h"
#include "ui/PanelRules.h"

#include <QActionGroup>
#include <QMenu>

namespace voxlane {

QMenu* addDuckLevelMenu(QMenu& menu, MixerEngine& engine) {
    QMenu* picker = menu.addMenu(qstr(PanelRules::lowerTo()));
    auto* group = new QActionGroup(picker);
    const auto current = PanelRules::duckChoiceFor(engine.duckLevel());
    for (std::size_t i = 0; i < PanelRules::duckChoices.size(); ++i) {
        const auto& choice = PanelRules::duckChoices[i];
        QAction* entry =
            picker->addAction(qstr(PanelRules::duckChoiceLabel(choice)),
                              [&engine, level = choice.level] { engine.setDuckLevel(level); });
        entry->setCheckable(true);
        entry->setChecked(current == i);
        group->addAction(entry);
    }
    return picker;
}

} // namespace voxlane
