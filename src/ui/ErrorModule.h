// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/NoticeModule.h"

namespace voxlane {

class MixerEngine;

// Shown while the engine has an error to tell (a tap that could not be built, settings that
// could not be saved): what went wrong, and a button that puts the notice away.
class ErrorModule : public NoticeModule {
    Q_OBJECT
public:
    explicit ErrorModule(MixerEngine& engine, QWidget* parent = nullptr);

    void refresh();

private:
    MixerEngine& engine_;
};

} // namespace voxlane
