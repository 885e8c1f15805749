// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/ElidedLabel.h"
#include "ui/GlassModule.h"

#include <functional>

class QLabel;

namespace voxlane {

class DeviceMenu;
class Fader;
class GhostButton;
class MixerEngine;

// The master output: "Sound", the default output's name, the master volume as percent text, a
// mute button, the master fader (0 to 100 %, no boost) and the output device menu.
class SoundModule : public GlassModule {
    Q_OBJECT
public:
    // `openDevicesWindow` serves the output menu's "Device Priorities…".
    SoundModule(MixerEngine& engine, std::function<void()> openDevicesWindow,
                QWidget* parent = nullptr);

    void refresh();

    GhostButton* muteButton() const { return mute_; }
    Fader* fader() const { return fader_; }
    DeviceMenu* deviceMenu() const { return menu_; }

private:
    MixerEngine& engine_;
    ElidedLabel* device_;
    QLabel* percent_;
    GhostButton* mute_;
    Fader* fader_;
    DeviceMenu* menu_;
};

} // namespace voxlane
