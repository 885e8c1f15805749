// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/NoticeModule.h"

namespace voxlane {

class MixerEngine;

// Shown while the output has no volume of its own and the volume keys are not ours yet:
// "Volume keys for <output>" and a button that asks for the keys again.
class VolumeKeysModule : public NoticeModule {
    Q_OBJECT
public:
    explicit VolumeKeysModule(MixerEngine& engine, QWidget* parent = nullptr);

    void refresh();

private:
    MixerEngine& engine_;
};

} // namespace voxlane
