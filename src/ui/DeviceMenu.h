// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/GhostButton.h"

#include <functional>

class QMenu;

namespace voxlane {

class MixerEngine;

// The output device chooser: a section "Output" with every output device (its symbol, and a
// check mark on the default output), choosing one makes it the default output and alert output;
// then "Device Priorities…".
class DeviceMenu : public GhostButton {
    Q_OBJECT
public:
    // `openDevicesWindow` serves "Device Priorities…".
    DeviceMenu(MixerEngine& engine, std::function<void()> openDevicesWindow,
               QWidget* parent = nullptr);

    // The menu as it would open now; the caller owns it.
    QMenu* menu();

private:
    MixerEngine& engine_;
    std::function<void()> openDevicesWindow_;
};

} // namespace voxlane
