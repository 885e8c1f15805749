// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ObserverList.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace voxlane {

// Modifier keys of a combination, by role; each grabber maps them to the keyboard's own
// modifiers (on X11: Control, Shift, and whichever of Mod1…Mod5 carry Alt and Super).
enum KeyModifier : std::uint16_t {
    keyModifierShift = 1u << 0,
    keyModifierControl = 1u << 1,
    keyModifierAlt = 1u << 2,   // Option
    keyModifierSuper = 1u << 3, // Command, the Windows/logo key
};

// X11 key symbols of the keys the program grabs.
namespace KeySyms {
inline constexpr std::uint32_t m = 0x006d;
inline constexpr std::uint32_t audioLowerVolume = 0x1008ff11; // XF86AudioLowerVolume
inline constexpr std::uint32_t audioMute = 0x1008ff12;        // XF86AudioMute
inline constexpr std::uint32_t audioRaiseVolume = 0x1008ff13; // XF86AudioRaiseVolume
} // namespace KeySyms

// A key with the modifiers that must be held with it. Caps Lock and Num Lock never count.
struct KeyCombination {
    std::uint32_t keySym = 0;
    std::uint16_t modifiers = 0; // KeyModifier flags

    // "Control+Alt+Super+M" and the like, for log lines.
    std::string description() const;
    bool operator==(const KeyCombination&) const = default;
};

// What a grab is known by: the signature of the part of the program that made it (HotKey uses
// 'MIXR') and an identifier it chose within that signature.
struct GrabID {
    std::uint32_t signature = 0;
    std::uint32_t id = 0;

    auto operator<=>(const GrabID&) const = default;
};

// One press of a grabbed combination.
struct KeyPress {
    GrabID grab;
    // The key is held and the keyboard repeats it; the first press of a hold is not a repeat.
    bool repeat = false;
};

// System-wide key grabs: while a combination is grabbed, pressing it anywhere on the desktop
// reaches this program (and not the application in front), whichever of Caps Lock and Num Lock
// is on. One grabber serves every part of the program that grabs keys (the microphone hot key,
// the volume keys); each grab carries its owner's GrabID and presses come back with it.
//
// Presses are delivered on the main thread to every installed handler. Main thread only.
class KeyGrabber {
public:
    enum class Status {
        grabbed,
        taken,       // another program owns the combination
        unknownKey,  // the keyboard has no key for the symbol
        unavailable, // no display, or the connection to it is lost
        failed,      // refused for another reason
    };
    using PressHandler = std::function<void(const KeyPress&)>;

    KeyGrabber() = default;
    KeyGrabber(const KeyGrabber&) = delete;
    KeyGrabber& operator=(const KeyGrabber&) = delete;
    virtual ~KeyGrabber();

    // Grabs the combination under `id` (grabbing the same id again replaces its combination).
    // Anything but `grabbed` leaves nothing grabbed under `id`.
    virtual Status grab(const KeyCombination& combination, GrabID id) = 0;
    // Gives the grab up; an unknown id is ignored.
    virtual void ungrab(GrabID id) = 0;

    // Adds a handler that receives every press of every grab, until the subscription is dropped.
    [[nodiscard]] Subscription installHandler(PressHandler handler);
    // How often a handler was installed, over the grabber's life.
    std::size_t handlerInstallations() const { return installations_; }

    static const char* statusName(Status status);

protected:
    // For implementations: hands one press to the handlers.
    void deliver(const KeyPress& press) { handlers_.notify(press); }

private:
    friend class HotKey;
    // HotKey's registrations on this grabber (identifiers, actions, its one handler).
    std::shared_ptr<void> hotKeys_;
    ObserverList<KeyPress> handlers_;
    std::size_t installations_ = 0;
};

} // namespace voxlane
