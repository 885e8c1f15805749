// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/GhostButton.h"

class QMenu;

namespace voxlane {

class MixerEngine;

// The output device chooser: a section "Output" with every output device (its symbol, and a
// check mark on the default output), choosing one makes it the default output and alert output;
// then "Device Priorities…".
class DeviceMenu : public GhostButton {
    Q_OBJECT
public:
    explicit DeviceMenu(MixerEngine& engine, QWidget* parent = nullptr);

    // The menu as it would open now; the caller owns it.
    QMenu* menu();

private:
    MixerEngine& engine_;
};

} // namespace voxlane
