// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/OpenEditor.h"

namespace voxlane {

void OpenEditor::set(std::optional<std::string> id) {
    if (id == appID_) return;
    appID_ = std::move(id);
    emit changed();
}

void OpenEditor::toggle(const std::string& id) {
    set(isOpen(id) ? std::nullopt : std::optional<std::string>(id));
}

} // namespace voxlane
