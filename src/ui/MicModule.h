// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/GlassModule.h"

class QLabel;

namespace voxlane {

class MixerEngine;
class ToggleCircle;

// The microphones, on a 58-high capsule: muted or not, with the hot key as a reminder; a press
// anywhere on it mutes or unmutes every microphone.
class MicModule : public GlassModule {
    Q_OBJECT
public:
    static constexpr int moduleHeight = 58;

    explicit MicModule(MixerEngine& engine, QWidget* parent = nullptr);

    void refresh();
    ToggleCircle* toggle() const { return toggle_; }
    QLabel* subtitleLabel() const { return subtitle_; }

protected:
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    MixerEngine& engine_;
    ToggleCircle* toggle_;
    QLabel* subtitle_;
};

} // namespace voxlane
