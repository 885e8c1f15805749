#pragma once

#include "app/VolumeKeyGrabber.h"

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

struct xcb_connection_t;

namespace voxlane {

// The volume keys grabbed on the X11 root window over a connection of our own (XF86AudioRaise-
// Volume, XF86AudioLowerVolume, XF86AudioMute), each plain and with Alt, Shift and Alt+Shift,
// and each of those also with Caps Lock, Num Lock and both, since a grab matches its modifiers
// exactly. A grab another client already holds is refused (BadAccess): then nothing stays
// grabbed, as where the desktop itself owns the volume keys.
class X11VolumeKeyGrabber final : public VolumeKeyGrabber {
public:
    // None when no X server can be reached (`display` null: $DISPLAY).
    static std::unique_ptr<X11VolumeKeyGrabber> connect(const char* display = nullptr);
    ~X11VolumeKeyGrabber() override;

    bool grab() override;
    void release() override;
    bool isGrabbed() const override { return grabbed_; }
    int fd() const override;
    void dispatch() override;

private:
    struct Key {
        MediaKey key;
        std::uint8_t keycode;
    };

    explicit X11VolumeKeyGrabber(xcb_connection_t* connection);
    void lookUpKeys();
    void ungrabAll();

    xcb_connection_t* connection_;
    std::uint32_t root_ = 0;
    std::uint16_t numLock_ = 0;
    std::vector<Key> keys_;
    std::set<std::uint8_t> down_;
    bool grabbed_ = false;
};

} // namespace voxlane
