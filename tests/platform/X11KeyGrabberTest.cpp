// SPDX-License-Identifier: GPL-3.0-or-later
// The real X11 grab on a private Xvfb server, with the keys sent by xdotool.
#include "platform/X11KeyGrabber.h"

#include "platform/HotKey.h"
#include "platform/Log.h"
#include "platform/ManualScheduler.h"
#include "support/Xvfb.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

class X11KeyGrabberTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new test::Xvfb;
        if (test::Xvfb::available()) server->start();
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        if (server->display().empty()) GTEST_SKIP() << "Xvfb could not be started";
    }

    // Sends keys to the test server as the user would type them.
    static void type(const std::vector<std::string>& keys) { ASSERT_TRUE(server->key(keys)); }

    ManualScheduler scheduler;
    Log::Capture log;
    static test::Xvfb* server;
};

test::Xvfb* X11KeyGrabberTest::server = nullptr;

TEST_F(X11KeyGrabberTest, HotKeyPressReachesTheActionWhateverTheLockKeys) {
    auto grabber = X11KeyGrabber::connect(scheduler, server->display().c_str());
    ASSERT_NE(grabber, nullptr);
    int presses = 0;
    HotKey hotKey(*grabber, scheduler, HotKey::micMuteCombination, [&] { ++presses; });
    ASSERT_TRUE(hotKey.isRegistered()) << KeyGrabber::statusName(hotKey.status());

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

// The volume keys on the same grabber, and a grab refused while another program holds the keys,
// are tested with the shell's volume keys (X11VolumeKeysTest).
} // namespace
} // namespace voxlane
