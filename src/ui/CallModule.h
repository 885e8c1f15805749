// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/NoticeModule.h"

namespace voxlane {

class MixerEngine;

// Shown during a call while lowering is on: the calling app, what the other apps hear, and a
// button that pauses or resumes the lowering for this call.
class CallModule : public NoticeModule {
    Q_OBJECT
public:
    explicit CallModule(MixerEngine& engine, QWidget* parent = nullptr);

    void refresh();

private:
    MixerEngine& engine_;
};

} // namespace voxlane
