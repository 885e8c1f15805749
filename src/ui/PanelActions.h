// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace voxlane {

// What the panel asks of the shell around it; an empty action does nothing.
struct PanelActions {
    std::function<void()> openDevicesWindow; // "Devices…" in the output and settings menus
    std::function<void()> checkForUpdates;
    std::function<void()> enableVolumeKeys; // the volume keys notice's button
};

} // namespace voxlane
