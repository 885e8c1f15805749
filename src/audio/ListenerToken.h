// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/hal/Hal.h"

namespace voxlane {

// One property-listener registration. It unregisters itself once: on `remove()` or when it is
// destroyed, whichever comes first, passing the Hal the very block it registered. The Hal must
// outlive the token. Used on the main thread only.
class ListenerToken {
public:
    ListenerToken(Hal& hal, AudioObjectID id, AudioObjectPropertyAddress address,
                  AudioObjectPropertyListenerBlockRef block)
        : hal_(hal), id_(id), address_(address), block_(std::move(block)) {}
    ~ListenerToken() { remove(); }
    ListenerToken(const ListenerToken&) = delete;
    ListenerToken& operator=(const ListenerToken&) = delete;

    void remove() {
        if (removed_) return;
        removed_ = true;
        hal_.removePropertyListener(id_, address_, block_); // a failed removal is ignored
    }

    AudioObjectID id() const { return id_; }
    const AudioObjectPropertyAddress& address() const { return address_; }
    const AudioObjectPropertyListenerBlockRef& block() const { return block_; }
    bool isRemoved() const { return removed_; }

private:
    Hal& hal_;
    AudioObjectID id_;
    AudioObjectPropertyAddress address_;
    AudioObjectPropertyListenerBlockRef block_;
    bool removed_ = false;
};

} // namespace voxlane
