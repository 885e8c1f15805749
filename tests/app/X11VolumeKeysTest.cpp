// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShellWorld.h"
#include "app/KeyGrabberVolumeKeys.h"
#include "app/MediaKeyTap.h"
#include "app/X11KeyEvents.h"
#include "engine/MixerEngine.h"
#include "platform/X11KeyGrabber.h"
#include "support/Xvfb.h"

#include <QTest>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

TEST(X11VolumeKeys, GrabbedKeysStepTheSoftwareVolumeAndOthersCannotGrabThem) {
    if (!test::Xvfb::available())
        GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/deps.sh installs them)";
    test::Xvfb x;
    ASSERT_TRUE(x.start());
    const std::string& display = x.display();

    test::ShellWorld world(/*hardwareVolume=*/false);
    MixerEngine engine{world.engineServices()};
    ASSERT_TRUE(engine.softVolumeActive());
    engine.setMasterVolume(0.5f);

    // The volume keys share the session's key grabber with the hot key.
    auto keys = X11KeyGrabber::connect(world.scheduler, display.c_str());
    ASSERT_TRUE(keys);
    X11KeyEvents events(*keys);
    MediaKeyTap tap(std::make_unique<KeyGrabberVolumeKeys>(*keys));
    int presses = 0;
    tap.handler = [&](MediaKey key, bool fine, bool) {
        ++presses;
        return engine.handleVolumeKey(key, fine);
    };
    ASSERT_TRUE(tap.start());

    const auto waitUntil = [&](const std::function<bool()>& done) {
        return QTest::qWaitFor(
            [&] {
                world.scheduler.runPending();
                return done();
            },
            5000);
    };
    ASSERT_TRUE(x.key({"XF86AudioRaiseVolume"}));
    EXPECT_TRUE(waitUntil([&] { return engine.masterVolume() == 0.5625f; }));
    // Alt+Shift: the fine step.
    ASSERT_TRUE(x.key({"alt+shift+XF86AudioLowerVolume"}));
    EXPECT_TRUE(waitUntil([&] { return engine.masterVolume() == 0.546875f; }));
    // With Num Lock on the keys still arrive.
    ASSERT_TRUE(x.key({"Num_Lock"}));
    ASSERT_TRUE(x.key({"XF86AudioMute"}));
    EXPECT_TRUE(waitUntil([&] { return engine.masterMuted(); }));
    EXPECT_EQ(presses, 3); // presses only, never the releases

    // While we hold the keys another program's grab is refused; once released it succeeds.
    auto otherKeys = X11KeyGrabber::connect(world.scheduler, display.c_str());
    ASSERT_TRUE(otherKeys);
    KeyGrabberVolumeKeys other(*otherKeys);
    EXPECT_FALSE(other.grab());
    tap.stop();
    EXPECT_TRUE(other.grab());
    // ...and then ours is refused: the tap does not run.
    EXPECT_FALSE(tap.start());
}

} // namespace
} // namespace voxlane
