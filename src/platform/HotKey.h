// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeyGrabber.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace voxlane {

class Scheduler;

// A system-wide key combination that runs an action on the main queue whenever the user presses
// it, whichever application is in front. Registered from creation until destruction.
//
// Registrations on one grabber share its state: identifiers handed out from 1 upwards, one per
// HotKey, the actions by identifier, and one press handler, installed with the first HotKey. A
// press posts the lookup of its identifier to the main queue; a HotKey released by then does
// nothing. Key repeats while the combination is held are ignored, and so are grabs made under
// another signature (the volume keys share the grabber).
//
// A registration that fails (another program owns the combination, no display) is logged once
// (category "keys") and leaves the combination doing nothing. Main thread only; the grabber and
// the scheduler must outlive every HotKey on them.
class HotKey {
public:
    // "MIXR" in ASCII; part of the shortcut ids the desktop keeps, so it never changes.
    static constexpr std::uint32_t signature = 0x4D495852;

    // Control-Alt-Super-M (Control-Option-Command-M): mute or unmute all microphones.
    static constexpr KeyCombination micMuteCombination{
        KeySyms::m, keyModifierControl | keyModifierAlt | keyModifierSuper};

    HotKey(KeyGrabber& grabber, Scheduler& mainQueue, KeyCombination combination,
           std::function<void()> action);
    ~HotKey();
    HotKey(const HotKey&) = delete;
    HotKey& operator=(const HotKey&) = delete;

    std::uint32_t id() const { return id_; }
    // Whether the grab succeeded.
    bool isRegistered() const { return registered_; }
    KeyGrabber::Status status() const { return status_; }

private:
    struct Registry;

    KeyGrabber& grabber_;
    std::shared_ptr<Registry> registry_;
    std::uint32_t id_ = 0;
    KeyGrabber::Status status_ = KeyGrabber::Status::failed;
    bool registered_ = false;
};

} // namespace voxlane
