// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/HotKey.h"

#include "platform/ManualScheduler.h"
#include "support/FakeKeyGrabber.h"

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
    EXPECT_EQ(a.id(), 1u);
    EXPECT_EQ(b.id(), 2u);
    EXPECT_EQ(keys.handlerInstallations(), 1u);
    EXPECT_EQ(keys.grabs.at(GrabID{HotKey::signature, 1}), micMute);
    EXPECT_EQ(keys.grabs.at(GrabID{HotKey::signature, 2}), other);

    keys.press(other);
    EXPECT_EQ(second, 0); // the action runs from the main queue
    // Repeats, and other owners' grabs under their own signature with the same number, are not
    // ours.
    keys.press(micMute, /*repeat=*/true);
    keys.grab(KeyCombination{KeySyms::audioMute, 0}, GrabID{0x4d4b4559u, 1});
    keys.press(KeyCombination{KeySyms::audioMute, 0});
    scheduler.runPending();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);

    test::FakeKeyGrabber otherKeys; // another grabber keeps its own numbering
    EXPECT_EQ(HotKey(otherKeys, scheduler, micMute, [] {}).id(), 1u);
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

} // namespace
} // namespace voxlane
