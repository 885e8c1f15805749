// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DesktopSession.h"
#include "ui/NoticeModule.h"

#include <functional>
#include <optional>

namespace voxlane {

class MixerEngine;

// Shown while the output has no volume of its own and the volume keys are not ours yet:
// "Volume keys for <output>", which program holds them (its tooltip: what to do about it), and
// a button that asks for the keys again — where the session lets programs take them at all.
class VolumeKeysModule : public NoticeModule {
    Q_OBJECT
public:
    using HolderLookup = std::function<std::optional<DesktopSession::KeyHolder>()>;

    // `enable` asks for the keys again (its button).
    VolumeKeysModule(MixerEngine& engine, std::function<void()> enable, QWidget* parent = nullptr);

    // Whether keys can be taken in this session, and who holds them now.
    void setDesktop(bool canGrab, HolderLookup holder);
    void refresh();

private:
    MixerEngine& engine_;
    bool canGrab_ = true;
    HolderLookup holder_;
};

} // namespace voxlane
