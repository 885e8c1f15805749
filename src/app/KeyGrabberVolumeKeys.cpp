// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/KeyGrabberVolumeKeys.h"

#include <array>

namespace voxlane {
namespace {

constexpr std::array<std::pair<std::uint32_t, MediaKey>, 3> kKeys{{
    {KeySyms::audioRaiseVolume, MediaKey::volumeUp},
    {KeySyms::audioLowerVolume, MediaKey::volumeDown},
    {KeySyms::audioMute, MediaKey::mute},
}};
constexpr std::array<std::uint16_t, 4> kModifiers{0, keyModifierAlt, keyModifierShift,
                                                  keyModifierAlt | keyModifierShift};

// Grab id = key index × 4 + modifier index.
GrabID grabID(std::size_t key, std::size_t modifiers) {
    return {KeyGrabberVolumeKeys::signature, static_cast<std::uint32_t>(key * 4 + modifiers)};
}

} // namespace

KeyGrabberVolumeKeys::KeyGrabberVolumeKeys(KeyGrabber& grabber) : grabber_(grabber) {
    handler_ = grabber_.installHandler([this](const KeyPress& press) {
        if (!grabbed_ || press.grab.signature != signature || press.grab.id >= 12) return;
        const std::size_t key = press.grab.id / 4, modifiers = press.grab.id % 4;
        if (!onPress) return;
        onPress(Press{kKeys[key].second,
                      kModifiers[modifiers] == (keyModifierAlt | keyModifierShift), press.repeat});
    });
}

KeyGrabberVolumeKeys::~KeyGrabberVolumeKeys() {
    release();
}

bool KeyGrabberVolumeKeys::grab() {
    if (grabbed_) return true;
    for (std::size_t key = 0; key < kKeys.size(); ++key) {
        for (std::size_t modifiers = 0; modifiers < kModifiers.size(); ++modifiers) {
            const KeyCombination combination{kKeys[key].first, kModifiers[modifiers]};
            if (grabber_.grab(combination, grabID(key, modifiers)) != KeyGrabber::Status::grabbed) {
                grabbed_ = true; // so that release() undoes the part that succeeded
                release();
                return false;
            }
        }
    }
    grabbed_ = true;
    return true;
}

void KeyGrabberVolumeKeys::release() {
    if (!grabbed_) return;
    for (std::size_t key = 0; key < kKeys.size(); ++key) {
        for (std::size_t modifiers = 0; modifiers < kModifiers.size(); ++modifiers) {
            grabber_.ungrab(grabID(key, modifiers));
        }
    }
    grabbed_ = false;
}

} // namespace voxlane
