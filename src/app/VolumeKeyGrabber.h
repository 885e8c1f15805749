// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/MediaKey.h"

#include <functional>

namespace voxlane {

// Exclusive access to the keyboard's volume keys (volume up, volume down, mute) for the whole
// desktop session, plain and with Alt, Shift or Alt+Shift, whatever the state of Caps Lock and
// Num Lock. While the keys are grabbed no other program receives them.
class VolumeKeyGrabber {
public:
    struct Press {
        MediaKey key;
        bool fine = false;     // Alt and Shift were both held
        bool isRepeat = false; // the key was already down (auto-repeat)
    };

    virtual ~VolumeKeyGrabber() = default;

    // Grabs every combination; true when all of them are ours. When any is refused (another
    // program holds it) nothing stays grabbed.
    virtual bool grab() = 0;
    virtual void release() = 0;
    virtual bool isGrabbed() const = 0;

    // The descriptor to watch for readability, -1 when there is none; `dispatch` then reads
    // what arrived and reports each key press (never a release) to `onPress`.
    virtual int fd() const = 0;
    virtual void dispatch() = 0;

    std::function<void(const Press&)> onPress;
};

} // namespace voxlane
