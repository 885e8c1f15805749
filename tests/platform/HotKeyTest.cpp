// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/HotKey.h"

#include "platform/Log.h"
#include "platform/ManualScheduler.h"
#include "platform/X11KeyGrabber.h"
#include "support/FakeKeyGrabber.h"
#include "support/Xvfb.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

const KeyCombination micMute = HotKey::micMuteCombination;
const KeyCombination other{KeySyms::m, keyModifierControl | keyModifierShift};

class HotKeyTest : public ::testing::Test {
protected:
    ManualScheduler scheduler;
    test::FakeKeyGrabber keys;
};

TEST_F(HotKeyTest, RegistrationsNumberFromOneAndShareOneHandler) {
    int first = 0, second = 0;
    HotKey a(keys, scheduler, micMute, [&] { ++first; });
    HotKey b(keys, scheduler, other, [&] { ++second; });
    EXPECT_EQ(std::pair(a.id(), b.id()), std::pair(1u, 2u));
    EXPECT_EQ(keys.handlerInstallations(), 1u);
    EXPECT_EQ(keys.grabs, (std::map<GrabID, KeyCombination>{{{HotKey::signature, 1}, micMute},
                                                            {{HotKey::signature, 2}, other}}));
    keys.press(other);
    EXPECT_EQ(second, 0); // the action runs from the main queue
    // Repeats, and other owners' grabs (their signature, our number), are not ours.
    keys.press(micMute, /*repeat=*/true);
    keys.grab(KeyCombination{KeySyms::audioMute, 0}, GrabID{0x4d4b4559u, 1});
    keys.press(KeyCombination{KeySyms::audioMute, 0});
    scheduler.runPending();
    EXPECT_EQ(std::pair(first, second), std::pair(0, 1));
}

TEST_F(HotKeyTest, ActionMayReleaseItsOwnHotKey) {
    std::unique_ptr<HotKey> hotKey;
    int presses = 0;
    hotKey = std::make_unique<HotKey>(keys, scheduler, micMute, [&] {
        ++presses;
        hotKey.reset();
    });
    keys.press(micMute);
    scheduler.runPending();
    EXPECT_EQ(presses, 1);
    EXPECT_TRUE(keys.grabs.empty());
}

// The real grab on a private Xvfb server (the volume keys and a refused grab: X11VolumeKeysTest).
TEST(X11KeyGrabberTest, HotKeyPressReachesTheActionWhateverTheLockKeys) {
    if (!test::Xvfb::available()) GTEST_SKIP() << "no Xvfb";
    test::Xvfb server;
    server.start();
    if (server.display().empty()) GTEST_SKIP() << "Xvfb could not be started";
    ManualScheduler scheduler;
    Log::Capture log;
    auto grabber = X11KeyGrabber::connect(scheduler, server.display().c_str());
    ASSERT_NE(grabber, nullptr);
    int presses = 0;
    HotKey hotKey(*grabber, scheduler, HotKey::micMuteCombination, [&] { ++presses; });
    ASSERT_TRUE(hotKey.isRegistered()) << KeyGrabber::statusName(hotKey.status());
    const auto type = [&](const std::vector<std::string>& keys) { ASSERT_TRUE(server.key(keys)); };
    type({"ctrl+alt+super+m"});
    ASSERT_TRUE(grabber->waitAndDispatch(5));
    scheduler.runPending();
    EXPECT_EQ(presses, 1);
    // M alone, or with other modifiers, is not the hot key.
    type({"m", "ctrl+m", "ctrl+alt+m"});
    EXPECT_FALSE(grabber->waitAndDispatch(0.3));
    // With Caps Lock on, then Num Lock on as well.
    type({"Caps_Lock", "ctrl+alt+super+m"});
    ASSERT_TRUE(grabber->waitAndDispatch(5));
    type({"Num_Lock", "ctrl+alt+super+m"});
    ASSERT_TRUE(grabber->waitAndDispatch(5));
    type({"Caps_Lock", "Num_Lock"});
    scheduler.runPending();
    EXPECT_EQ(presses, 3);
}

} // namespace
} // namespace voxlane
