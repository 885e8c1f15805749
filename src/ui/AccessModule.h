// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/NoticeModule.h"

namespace voxlane {

class MixerEngine;

// Shown until system audio access is granted: what is missing and a button that asks for it
// (a progress indicator while the check runs).
class AccessModule : public NoticeModule {
    Q_OBJECT
public:
    explicit AccessModule(MixerEngine& engine, QWidget* parent = nullptr);

    void refresh();

private:
    MixerEngine& engine_;
};

} // namespace voxlane
