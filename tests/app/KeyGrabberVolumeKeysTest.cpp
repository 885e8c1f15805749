// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/KeyGrabberVolumeKeys.h"

#include "support/FakeKeyGrabber.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

TEST(KeyGrabberVolumeKeys, GrabsEveryVariantAndReportsFineStepsWithAltShift) {
    test::FakeKeyGrabber keyboard;
    KeyGrabberVolumeKeys keys(keyboard);
    std::vector<VolumeKeyGrabber::Press> presses;
    keys.onPress = [&](const VolumeKeyGrabber::Press& p) { presses.push_back(p); };

    EXPECT_FALSE(keyboard.press({KeySyms::audioMute, 0})) << "nothing grabbed yet";
    ASSERT_TRUE(keys.grab());
    EXPECT_EQ(keyboard.grabs.size(), 12u);
    keyboard.press({KeySyms::audioRaiseVolume, 0});
    keyboard.press({KeySyms::audioLowerVolume, keyModifierAlt | keyModifierShift}, true);
    keyboard.press({KeySyms::audioMute, keyModifierShift});
    ASSERT_EQ(presses.size(), 3u);
    EXPECT_EQ(presses[0].key, MediaKey::volumeUp);
    EXPECT_FALSE(presses[0].fine);
    EXPECT_EQ(presses[1].key, MediaKey::volumeDown);
    EXPECT_TRUE(presses[1].fine);
    EXPECT_TRUE(presses[1].isRepeat);
    EXPECT_EQ(presses[2].key, MediaKey::mute);
    EXPECT_FALSE(presses[2].fine);

    keys.release();
    EXPECT_TRUE(keyboard.grabs.empty());
    EXPECT_FALSE(keys.isGrabbed());
}

TEST(KeyGrabberVolumeKeys, ARefusedVariantLeavesNothingGrabbedAndOtherGrabsAlone) {
    test::FakeKeyGrabber keyboard;
    ASSERT_EQ(keyboard.grab({KeySyms::m, keyModifierControl}, {0x4d495852, 1}),
              KeyGrabber::Status::grabbed); // the hot key
    KeyGrabberVolumeKeys keys(keyboard);
    keyboard.answer = KeyGrabber::Status::taken;
    EXPECT_FALSE(keys.grab());
    EXPECT_FALSE(keys.isGrabbed());
    EXPECT_EQ(keyboard.grabs.size(), 1u) << "only the hot key's grab is left";
    keyboard.answer = KeyGrabber::Status::grabbed;
    EXPECT_TRUE(keys.grab());
    EXPECT_EQ(keyboard.grabs.size(), 13u);
}

} // namespace
} // namespace voxlane
