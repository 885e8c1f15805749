// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/VolumeKeyGrabber.h"
#include "platform/KeyGrabber.h"

namespace voxlane {

// The volume keys on the program's one key grabber, which the microphone hot key shares: the
// three keys plain, with Alt, with Shift and with Alt+Shift (the fine step), all or none.
// Presses arrive through the grabber's handlers, so there is no descriptor of its own to watch.
class KeyGrabberVolumeKeys final : public VolumeKeyGrabber {
public:
    static constexpr std::uint32_t signature = 0x4d4b4559; // 'MKEY'

    // The grabber must outlive this object.
    explicit KeyGrabberVolumeKeys(KeyGrabber& grabber);
    ~KeyGrabberVolumeKeys() override;

    bool grab() override;
    void release() override;
    bool isGrabbed() const override { return grabbed_; }
    int fd() const override { return -1; }
    void dispatch() override {}

private:
    KeyGrabber& grabber_;
    Subscription handler_;
    bool grabbed_ = false;
};

} // namespace voxlane
