// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/KeyGrabberVolumeKeys.h"

#include "support/FakeKeyGrabber.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

TEST(KeyGrabberVolumeKeys, GrabsEveryVariantAllOrNothingAndReportsFineStepsWithAltShift) {
    test::FakeKeyGrabber keyboard;
    ASSERT_EQ(keyboard.grab({KeySyms::m, keyModifierControl}, {0x4d495852, 1}),
              KeyGrabber::Status::grabbed); // the hot key
    KeyGrabberVolumeKeys keys(keyboard);
    std::vector<std::tuple<MediaKey, bool, bool>> presses;
    keys.onPress = [&](const VolumeKeyGrabber::Press& p) {
        presses.emplace_back(p.key, p.fine, p.isRepeat);
    };
    // A refused variant leaves nothing of ours grabbed and the other grabs alone.
    keyboard.answer = KeyGrabber::Status::taken;
    EXPECT_FALSE(keys.grab());
    EXPECT_FALSE(keys.isGrabbed());
    EXPECT_EQ(keyboard.grabs.size(), 1u) << "only the hot key's grab is left";
    EXPECT_FALSE(keyboard.press({KeySyms::audioMute, 0})) << "nothing grabbed";

    keyboard.answer = KeyGrabber::Status::grabbed;
    ASSERT_TRUE(keys.grab());
    EXPECT_EQ(keyboard.grabs.size(), 13u);
    keyboard.press({KeySyms::audioRaiseVolume, 0});
    keyboard.press({KeySyms::audioLowerVolume, keyModifierAlt | keyModifierShift}, true);
    keyboard.press({KeySyms::audioMute, keyModifierShift});
    EXPECT_EQ(presses,
              (std::vector<std::tuple<MediaKey, bool, bool>>{{MediaKey::volumeUp, false, false},
                                                             {MediaKey::volumeDown, true, true},
                                                             {MediaKey::mute, false, false}}));
    keys.release();
    EXPECT_EQ(keyboard.grabs.size(), 1u);
    EXPECT_FALSE(keys.isGrabbed());
}

} // namespace
} // namespace voxlane
