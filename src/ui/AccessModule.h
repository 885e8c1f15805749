// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/NoticeModule.h"

namespace voxlane {

class MixerEngine;

// Shown while audio access is missing where it can be (see PanelRules::accessNoticeShown): what
// is wrong and a button that checks again ("Open" after a failed check also opens the desktop's
// sound settings; a progress indicator while the check runs).
class AccessModule : public NoticeModule {
    Q_OBJECT
public:
    explicit AccessModule(MixerEngine& engine, QWidget* parent = nullptr);

    void setSandboxed(bool sandboxed);
    void refresh();

private:
    MixerEngine& engine_;
    bool sandboxed_ = false;
};

} // namespace voxlane
