// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/KeyGrabber.h"

#include <cstdio>

namespace voxlane {

KeyGrabber::~KeyGrabber() = default;

Subscription KeyGrabber::installHandler(PressHandler handler) {
    ++installations_;
    return handlers_.subscribe(std::move(handler));
}

const char* KeyGrabber::statusName(Status status) {
    switch (status) {
    case Status::grabbed:
        return "grabbed";
    case Status::taken:
        return "taken";
    case Status::unknownKey:
        return "unknownKey";
    case Status::unavailable:
        return "unavailable";
    case Status::failed:
        return "failed";
    }
    return "?";
}

std::string KeyCombination::description() const {
    std::string text;
    if (modifiers & keyModifierControl) text += "Control+";
    if (modifiers & keyModifierAlt) text += "Alt+";
    if (modifiers & keyModifierSuper) text += "Super+";
    if (modifiers & keyModifierShift) text += "Shift+";
    switch (keySym) {
    case KeySyms::audioLowerVolume:
        return text + "XF86AudioLowerVolume";
    case KeySyms::audioMute:
        return text + "XF86AudioMute";
    case KeySyms::audioRaiseVolume:
        return text + "XF86AudioRaiseVolume";
    default:
        break;
    }
    if (keySym >= 'a' && keySym <= 'z') return text + char(keySym - 'a' + 'A');
    if (keySym > ' ' && keySym < 0x7f) return text + char(keySym);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%x", keySym);
    return text + hex;
}

} // namespace voxlane
